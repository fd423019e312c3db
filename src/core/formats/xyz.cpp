#include <string_view>

#include "core/formats/atomname.h"
#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"
#include "core/formats/readers.h"
#include "core/model/log.h"
#include "core/model/say.h"

namespace {

// Adds the atom of one atom line; false (and a log line) when the line does
// not start with an element symbol.
bool readAtomLine(std::string_view line, int& count, vl::Molecule& molecule, std::string& symbol)
{
  FieldReader fields(line);
  symbol.clear(); // an empty line must not reuse the previous symbol
  fields >> symbol;
  symbol = NormalizeSymbol(std::move(symbol));
  const vl::EAtomType type = vl::atomType(symbol);
  if (type == vl::AT_Unknown) {
    vl::Log::print(vl::Say("Line '%s' ignored!\n") << std::string(line));
    return false;
  }
  // Missing or non-numeric coordinates read as 0; the symbol alone decides.
  float x = 0, y = 0, z = 0;
  fields >> x >> y >> z;
  ++count;
  AddAtom(molecule, x, y, z, AtomName(symbol, count), type);
  return true;
}

} // namespace

int ReadXYZFile(std::string file, int ftype, StructureList& structures)
{
  const bool header = ftype == FT_Xyz;
  LineReader in(file);
  int found_and_read = 0;
  std::string symbol;
  std::string_view line;
  size_t lastAtoms = 0;

  while (in.next(line) && !IsBlank(line)) {
    int i = 0;
    int nAtoms = 0;
    if (header) {
      if (!ParseCountLine(line, nAtoms)) {
        vl::Log::print(vl::Say("Line '%s' is invalid\n") << std::string(line));
        vl::Log::print(vl::Say("Number of atoms is expected here!\n"));
        break;
      }
      if (nAtoms <= 0)
        return -4;
      if (!in.skip(1)) // the comment line
        return -3;
    }

    // nAtoms comes from the file, so nothing is reserved by it (a huge count in
    // a short file must cost nothing); trajectory frames are sized like the
    // frame read before them.
    auto molecule = vl::make_ref<vl::Molecule>();
    molecule->reserveAtoms(lastAtoms);
    if (!header)
      readAtomLine(line, i, *molecule, symbol); // no header: the first line is an atom line
    while (!(header && i == nAtoms) && in.next(line))
      readAtomLine(line, i, *molecule, symbol);

    if (header && i != nAtoms)
      return -2; // the file ended inside the frame; the partial frame is dropped
    lastAtoms = static_cast<size_t>(molecule->atoms());
    if (FinishStructure(molecule, structures))
      ++found_and_read;
  }
  return found_and_read != 0 ? 0 : -1;
}
