// Gaussian output: orientation tables in angstrom, one structure each. The
// selector picks the family: 0 input and Z-matrix orientations, 1 standard.
#include <string>

#include "core/model/elements.h"
#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/formats/readers.h"

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

} // namespace

int ReadGaussianFile(std::string file, int /*ftype*/, StructureList& structures, int type)
{
  LineReader in(file);
  int found = 0;
  std::string_view line;
  while (in.next(line)) {
    if (!IsMarker(line, type))
      continue;
    qcout::Announce(type == 0 ? "Found Input or Z-Matrix orientation!\n" : "Found Standard orientation!\n");
    in.skip(4);

    auto molecule = vl::make_ref<vl::Molecule>();
    while (in.next(line) && !qcout::Contains(line, kRule)) {
      int centre = 0, atomicNumber = -1, atomicType = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> centre >> atomicNumber >> atomicType >> x >> y >> z;

      char symbol[3] = {0, 0, 0};
      BaseSetAtName(atomicNumber, &symbol[0], &symbol[1]);
      if (symbol[1] == ' ')
        symbol[1] = '\0';
      qcout::AddAtom(*molecule, x, y, z, symbol + std::to_string(centre), vl::atomType(symbol));
    }
    if (FinishStructure(molecule, structures))
      ++found;
  }
  return found > 0 ? 0 : -1;
}
