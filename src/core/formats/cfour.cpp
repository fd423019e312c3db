// CFOUR log: coordinate tables in Bohr, one structure each.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

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
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!qcout::Contains(line, kMarker))
      return 0;
    qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
    in.skip(2);
    return 1;
  };
  auto readRows = [](LineReader& in, int, vl::Molecule& molecule) {
    std::string_view line;
    std::string symbol;
    int position = 0;
    while (in.next(line) && line.size() >= 2 && !IsDashedRule(line)) {
      ++position;
      symbol.clear();
      int atomicNumber = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> symbol >> atomicNumber >> x >> y >> z;
      qcout::AddAtom(molecule, qcout::BohrToAngstrom(x), qcout::BohrToAngstrom(y), qcout::BohrToAngstrom(z),
                     symbol + std::to_string(position), qcout::TypeFromAtomicNumber(atomicNumber));
    }
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows);
}

} // namespace

extern const FileFormat kCfourFormat;
const FileFormat kCfourFormat =
    ContentFormat(FT_Cfour, "CFOUR log",
                  {
                      {{"* CFOUR Coupled-Cluster techniques for Computational Chemistry *"}},
                  },
                  ReadCfourLogFile);
