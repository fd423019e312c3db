#include <cstdlib>
#include <string_view>

#include "core/formats/atomname.h"
#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"
#include "core/formats/readers.h"
#include "core/model/log.h"
#include "core/model/say.h"

int ReadMDLMolFile(std::string file, int ftype, StructureList& structures)
{
  LineReader in(file);
  std::string_view line;
  // Name, program and comment lines are not used; line 4 is the counts line.
  if (!in.skip(3) || !in.next(line))
    return -1;

  // The atom count is the first three columns of the counts line.
  char natstr[4];
  strlcpy(natstr, std::string(line).c_str(), sizeof natstr);
  const long nAtoms = std::strtol(natstr, nullptr, 10);
  if (nAtoms <= 0)
    return -1;

  auto molecule = vl::make_ref<vl::Molecule>();
  int i = 0;
  std::string symbol;
  while (in.next(line)) {
    if (IsBlank(line) || line.find("M  END") != std::string_view::npos)
      break;
    // Read by fields, not columns: x y z symbol, the rest of the line ignored.
    FieldReader fields(line);
    float x = 0, y = 0, z = 0;
    symbol.clear();
    fields >> x >> y >> z >> symbol;
    symbol = NormalizeSymbol(std::move(symbol));
    const vl::EAtomType type = vl::atomType(symbol);
    if (type == vl::AT_Unknown && symbol != "X") {
      // Bond lines past a too large count land here too (their fourth field is a number).
      vl::Log::print(vl::Say("Line '%s' ignored!\n") << std::string(line));
      continue;
    }
    ++i;
    AddAtom(*molecule, x, y, z, AtomName(symbol, i), type);
    if (i == nAtoms)
      break;
  }
  return FinishStructure(molecule, structures) ? 0 : -1;
}
