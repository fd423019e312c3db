// Gaussian output: orientation tables in angstrom, one structure each. The
// selector picks the family: 0 input and Z-matrix orientations, 1 standard.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/model/elements.h"

namespace {

constexpr std::string_view kInputMarker = "                          Input orientation:";      // 26 blanks
constexpr std::string_view kZMatrixMarker = "                         Z-Matrix orientation:";  // 25 blanks
constexpr std::string_view kStandardMarker = "                         Standard orientation:"; // 25 blanks
constexpr std::string_view kCommonPart = " orientation:";
constexpr std::string_view kRule = "---------------------------------------------------------------------"; // 69

bool IsMarker(std::string_view line, int type)
{
  if (!qcout::Contains(line, kCommonPart))
    return false;
  if (type == 0)
    return qcout::Contains(line, kInputMarker) || qcout::Contains(line, kZMatrixMarker);
  if (type == 1)
    return qcout::Contains(line, kStandardMarker);
  return false;
}

// Reads the tables of one family: 0 input and Z-matrix orientations, 1 standard.
int ReadGaussianFile(const std::string& file, StructureList& structures, int type, vl::Log& log)
{
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!IsMarker(line, type))
      return 0;
    qcout::Announce(log, type == 0 ? "Found Input or Z-Matrix orientation!\n" : "Found Standard orientation!\n");
    in.skip(4);
    return 1;
  };
  auto readRows = [](LineReader& in, int, vl::Molecule& molecule) {
    std::string_view line;
    while (in.next(line) && !qcout::Contains(line, kRule)) {
      int centre = 0, atomicNumber = -1, atomicType = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> centre >> atomicNumber >> atomicType >> x >> y >> z;

      char symbol[3] = {0, 0, 0};
      BaseSetAtName(atomicNumber, &symbol[0], &symbol[1]);
      if (symbol[1] == ' ')
        symbol[1] = '\0';
      qcout::AddAtom(molecule, x, y, z, symbol + std::to_string(centre), vl::atomType(symbol));
    }
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows);
}

// Input/Z-matrix orientations are preferred; standard ones are the fallback.
int readGaussian(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  if (ReadGaussianFile(file, structures, 0, log) == 0)
    return 0;
  return ReadGaussianFile(file, structures, 1, log);
}

} // namespace

extern const FileFormat kGaussianFormat;
const FileFormat kGaussianFormat =
    ContentFormat(FT_Gaussian, "Gaussian output",
                  {
                      // The two header lines of an orientation table, as two releases space them.
                      {{"Center     Atomic     Atomic              Coordinates (Angstroms)",
                        "Center     Atomic      Atomic             Coordinates (Angstroms)"}},
                      {{"Number     Number      Type              X           Y           Z",
                        "Number     Number       Type             X           Y           Z"}},
                  },
                  readGaussian);
