// GAMESS output: coordinate tables in Bohr and in angstrom, one structure each.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/formats/format.h"

namespace {

constexpr std::string_view kAngstromMarker = "COORDINATES OF ALL ATOMS ARE (ANGS)";
constexpr std::string_view kBohrMarker = "ATOM      ATOMIC                      COORDINATES (BOHR)";
constexpr std::string_view kCommonPart = "COORDINATES ";

int ReadGamessFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  int found = 0;
  std::string_view line;
  std::string label;
  while (in.next(line)) {
    if (!qcout::Contains(line, kCommonPart))
      continue;
    bool bohr;
    if (qcout::Contains(line, kAngstromMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Angs)!\n");
      in.skip(2);
      bohr = false;
    } else if (qcout::Contains(line, kBohrMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
      in.skip(1);
      bohr = true;
    } else {
      continue;
    }

    auto molecule = vl::make_ref<vl::Molecule>();
    int position = 0;
    // Only a line shorter than two characters ends the table.
    while (in.next(line) && line.size() >= 2) {
      ++position;
      label.clear();
      float charge = 0, x = 0, y = 0, z = 0;
      FieldReader(line) >> label >> charge >> x >> y >> z;
      if (bohr) {
        x = qcout::BohrToAngstrom(x);
        y = qcout::BohrToAngstrom(y);
        z = qcout::BohrToAngstrom(z);
      }
      qcout::AddAtom(*molecule, x, y, z, label + std::to_string(position),
                     qcout::TypeFromAtomicNumber(qcout::TruncateCharge(charge)));
    }
    if (FinishStructure(molecule, structures, log))
      ++found;
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kGamessFormat;
const FileFormat kGamessFormat = [] {
  FileFormat f;
  f.code = FT_Gamess;
  f.name = "GAMESS output";
  f.signature = {
      {{"COORDINATES OF ALL ATOMS ARE (ANGS)", " ATOM      ATOMIC                      COORDINATES (BOHR)"}},
      {{"  ATOM   CHARGE       X              Y              Z",
        "           CHARGE         X                   Y                   Z"}},
  };
  f.read = ReadGamessFile;
  return f;
}();
