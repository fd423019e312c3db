// Gaussian cube files as structures: the atoms of the header (bohr, or
// angstrom when the first axis count is negative). The grid itself is read
// only when asked for (core/orbitals/cube.h).
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/formats/atomname.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

// The numbers of a line; false when a word is no number.
bool LineNumbers(std::string_view line, std::vector<double>& v)
{
  v.clear();
  for (int n = 0;; ++n) {
    const std::string_view word = qcout::Word(line, n);
    if (word.empty())
      return true;
    const auto value = qcout::ToNumber(word);
    if (!value)
      return false;
    v.push_back(*value);
  }
}

bool IsInteger(double v)
{
  return v == std::floor(v) && std::fabs(v) < 1e9;
}

// Lines 3 to 6 (the reader stands before line 3): atom count and origin,
// then three axes of count and step. Returns the atom count (0: not a
// cube); `angstrom` from the first axis.
long ReadCounts(LineReader& in, bool& angstrom)
{
  std::string_view line;
  std::vector<double> v;
  if (!in.next(line) || !LineNumbers(line, v) || v.size() < 4 || v.size() > 5 || !IsInteger(v[0]))
    return 0;
  const long atoms = static_cast<long>(v[0]);
  for (int axis = 0; axis < 3; ++axis) {
    if (!in.next(line) || !LineNumbers(line, v) || v.size() != 4 || !IsInteger(v[0]) || v[0] == 0)
      return 0;
    if (axis == 0)
      angstrom = v[0] < 0;
  }
  return atoms;
}

int CheckCube(LineReader& in)
{
  bool angstrom = false;
  return in.skip(2) && ReadCounts(in, angstrom) != 0 ? FT_Cube : FileFormat::kScanContent;
}

int ReadCubeFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  std::string_view line;
  std::string title;
  if (in.next(line))
    title = trim(std::string(line.substr(0, line.find_last_not_of(" \r") + 1)));
  bool angstrom = false;
  const long atoms = in.skip(1) ? std::labs(ReadCounts(in, angstrom)) : 0;
  if (atoms == 0)
    return -1;
  qcout::Announce(log, angstrom ? "Found cube atoms (Angs)!\n" : "Found cube atoms (Bohr)!\n");
  auto molecule = vl::make_ref<vl::Molecule>();
  std::vector<double> v;
  for (long k = 0; k < atoms; ++k) {
    // A header cut short is no structure.
    if (!in.next(line) || !LineNumbers(line, v) || v.size() < 5 || !IsInteger(v[0]))
      return -1;
    const int z = static_cast<int>(v[0]);
    auto length = [&](double value) {
      const float f = static_cast<float>(value);
      return angstrom ? f : qcout::BohrToAngstrom(f);
    };
    char symbol[3] = {0, 0, 0};
    BaseSetAtName(z, &symbol[0], &symbol[1]);
    if (symbol[1] == ' ')
      symbol[1] = '\0';
    qcout::AddAtom(*molecule, length(v[2]), length(v[3]), length(v[4]), AtomName(symbol, static_cast<int>(k) + 1),
                   qcout::TypeFromAtomicNumber(z));
  }
  molecule->calculation().title = title;
  return FinishStructure(molecule, structures, log) ? 0 : -1;
}

} // namespace

extern const FileFormat kCubeFormat;
const FileFormat kCubeFormat =
    NamedFormat(FT_Cube, "Gaussian cube", {".cube", ".cub"}, CheckCube, ReadCubeFile, nullptr, nullptr);
