// CFOUR log: coordinate tables in Bohr, one structure each.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/formats/format.h"

namespace {

constexpr std::string_view kMarker = " Z-matrix   Atomic            Coordinates (in bohr)";

// CFOUR closes every table with a dashed rule right under the last row; read
// as a row it would become a phantom atom at the origin, so it ends the table.
bool IsDashedRule(std::string_view line)
{
  bool dash = false;
  for (char c : line) {
    if (c == '-')
      dash = true;
    else if (c != ' ' && c != '\r')
      return false;
  }
  return dash;
}

int ReadCfourLogFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  int found = 0;
  std::string_view line;
  std::string symbol;
  while (in.next(line)) {
    if (!qcout::Contains(line, kMarker))
      continue;
    qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
    in.skip(2);

    auto molecule = vl::make_ref<vl::Molecule>();
    int position = 0;
    while (in.next(line) && line.size() >= 2 && !IsDashedRule(line)) {
      ++position;
      symbol.clear();
      int atomicNumber = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> symbol >> atomicNumber >> x >> y >> z;
      qcout::AddAtom(*molecule, qcout::BohrToAngstrom(x), qcout::BohrToAngstrom(y), qcout::BohrToAngstrom(z),
                     symbol + std::to_string(position), qcout::TypeFromAtomicNumber(atomicNumber));
    }
    if (FinishStructure(molecule, structures, log))
      ++found;
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kCfourFormat;
const FileFormat kCfourFormat = [] {
  FileFormat f;
  f.code = FT_Cfour;
  f.name = "CFOUR log";
  f.signature = {
      {{"* CFOUR Coupled-Cluster techniques for Computational Chemistry *"}},
  };
  f.read = ReadCfourLogFile;
  return f;
}();
