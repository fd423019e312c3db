#include "core/formats/qcout.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "core/model/elements.h"

namespace qcout {

bool Contains(std::string_view line, std::string_view marker)
{
  // glibc's memmem is several times faster than string_view::find on long
  // outputs, where nearly every line is a miss.
  if (marker.size() > line.size())
    return false;
  return ::memmem(line.data(), line.size(), marker.data(), marker.size()) != nullptr;
}

vl::EAtomType TypeFromAtomicNumber(int n)
{
  char symbol[3] = {0, 0, 0};
  BaseSetAtName(n, &symbol[0], &symbol[1]);
  return vl::atomType(std::string_view(symbol, 2));
}

int TruncateCharge(double charge)
{
  if (!(charge > static_cast<double>(INT_MIN) - 1.0 && charge < static_cast<double>(INT_MAX) + 1.0))
    return INT_MIN;
  return static_cast<int>(charge);
}

void AddAtom(vl::Molecule& molecule, float x, float y, float z, std::string name, vl::EAtomType type)
{
  auto atom = vl::make_ref<vl::Atom>();
  atom->setCoordinates(vl::fvec3(x, y, z));
  atom->setAtomName(std::move(name));
  atom->setAtomType(type);
  molecule.addAtom(atom);
}

} // namespace qcout
