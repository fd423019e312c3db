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

// What CFOUR printed about the geometry of the table before: the SCF energy
// at convergence, then each correlated level, then its final energy.
void ReadResult(std::string_view line, vl::Calculation& result)
{
  struct Level {
    std::string_view marker;
    const char* method; // null: the level stays as named before
  };
  static constexpr Level kLevels[] = {
      {"Total MP2 energy        =", "MP2"},        {"E(CCSD)           =", "CCSD"},
      {"E(CCSD(T))        =", "CCSD(T)"},          {"The total energy is", nullptr},
      {"The final electronic energy is", nullptr},
  };
  if (qcout::Contains(line, "E(SCF)=")) {
    const auto energy = qcout::NumberAfter(line, "E(SCF)=");
    result.scfEnergy = energy;
    result.totalEnergy = energy;
    result.method = "SCF";
    return;
  }
  for (const Level& level : kLevels)
    if (qcout::Contains(line, level.marker)) {
      if (const auto energy = qcout::NumberAfter(line, level.marker)) {
        result.totalEnergy = energy;
        if (level.method)
          result.method = level.method;
      }
      return;
    }
  // CFOUR names the smallest force "Minimum force"; only its RMS force is a criterion.
  if (qcout::Contains(line, "Minimum force:") && qcout::Contains(line, "RMS force:"))
    result.convergence.rmsForce.value = qcout::NumberAfter(line, "RMS force:");
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
  auto readResult = [](std::string_view line, LineReader&, vl::Calculation& result) { ReadResult(line, result); };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

} // namespace

extern const FileFormat kCfourFormat;
const FileFormat kCfourFormat =
    ContentFormat(FT_Cfour, "CFOUR log",
                  {
                      {{"* CFOUR Coupled-Cluster techniques for Computational Chemistry *"}},
                  },
                  ReadCfourLogFile);
