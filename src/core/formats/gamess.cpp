// GAMESS output: coordinate tables in Bohr and in angstrom, one structure each.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kAngstromMarker = "COORDINATES OF ALL ATOMS ARE (ANGS)";
constexpr std::string_view kBohrMarker = "ATOM      ATOMIC                      COORDINATES (BOHR)";
constexpr std::string_view kCommonPart = "COORDINATES ";
constexpr int kAngstrom = 1, kBohr = 2; // table kinds

int ReadGamessFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!qcout::Contains(line, kCommonPart))
      return 0;
    if (qcout::Contains(line, kAngstromMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Angs)!\n");
      in.skip(2);
      return kAngstrom;
    }
    if (qcout::Contains(line, kBohrMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
      in.skip(1);
      return kBohr;
    }
    return 0;
  };
  auto readRows = [](LineReader& in, int unit, vl::Molecule& molecule) {
    std::string_view line;
    std::string label;
    int position = 0;
    // Only a line shorter than two characters ends the table.
    while (in.next(line) && line.size() >= 2) {
      ++position;
      label.clear();
      float charge = 0, x = 0, y = 0, z = 0;
      FieldReader(line) >> label >> charge >> x >> y >> z;
      if (unit == kBohr) {
        x = qcout::BohrToAngstrom(x);
        y = qcout::BohrToAngstrom(y);
        z = qcout::BohrToAngstrom(z);
      }
      qcout::AddAtom(molecule, x, y, z, label + std::to_string(position),
                     qcout::TypeFromAtomicNumber(qcout::TruncateCharge(charge)));
    }
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows);
}

} // namespace

extern const FileFormat kGamessFormat;
const FileFormat kGamessFormat = ContentFormat(
    FT_Gamess, "GAMESS output",
    {
        {{"COORDINATES OF ALL ATOMS ARE (ANGS)", " ATOM      ATOMIC                      COORDINATES (BOHR)"}},
        {{"  ATOM   CHARGE       X              Y              Z",
          "           CHARGE         X                   Y                   Z"}},
    },
    ReadGamessFile);
