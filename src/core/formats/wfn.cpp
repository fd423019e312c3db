// WFN wave-function files: nucleus lines in Bohr, taken by fixed columns.
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <stdexcept>
#include <string>

#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kCentreAssignments = "CENTRE ASSIGNMENTS";

bool IsHeader(std::string_view line)
{
  return qcout::Contains(line, "MOL ORBITALS") && qcout::Contains(line, "PRIMITIVES") &&
         qcout::Contains(line, "NUCLEI");
}

// std::stof's results and exceptions, but always with the C locale: the
// window's toolkit sets LC_NUMERIC from the environment, where "1.5" may
// stop at the point.
float ToFloat(const std::string& text)
{
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const char* begin = text.c_str();
  char* end = nullptr;
  const int savedErrno = errno;
  errno = 0;
  const float value = strtof_l(begin, &end, cLocale);
  const bool range = errno == ERANGE;
  errno = savedErrno;
  if (end == begin)
    throw std::invalid_argument("stof");
  if (range)
    throw std::out_of_range("stof");
  return value;
}

// A field by 0-based start and length; std::string::substr cuts it at the
// line end and throws std::out_of_range when it starts past the end.
float Field(const std::string& line, size_t start, size_t length)
{
  return ToFloat(line.substr(start, length));
}

int ReadWfnInpFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  auto startsTable = [&](std::string_view line, LineReader&) {
    if (!IsHeader(line))
      return 0;
    qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
    return 1;
  };
  // Errors leave by exception: the molecule being built is dropped, the ones
  // already appended stay.
  auto readRows = [](LineReader& in, int, vl::Molecule& molecule) {
    std::string_view view;
    std::string line;
    int position = 0;
    while (in.next(view) && !qcout::Contains(view, kCentreAssignments)) {
      ++position;
      line.assign(view.data(), view.size());
      const std::string name = trim(line.substr(2, 2)) + std::to_string(position);
      const float x = Field(line, 24, 12);
      const float y = Field(line, 36, 12);
      const float z = Field(line, 48, 12);
      const float charge = Field(line, 70, 5);
      qcout::AddAtom(molecule, qcout::BohrToAngstrom(x), qcout::BohrToAngstrom(y), qcout::BohrToAngstrom(z), name,
                     qcout::TypeFromAtomicNumber(qcout::TruncateCharge(charge)));
    }
  };
  // The closing line: " TOTAL ENERGY =  -74.9659 THE VIRIAL(-V/T)=  2.006".
  auto readResult = [](std::string_view line, LineReader&, vl::Calculation& result) {
    if (qcout::Contains(line, "TOTAL ENERGY ="))
      result.totalEnergy = qcout::NumberAfter(line, "TOTAL ENERGY =");
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

} // namespace

extern const FileFormat kWfnFormat;
const FileFormat kWfnFormat = ContentFormat(FT_Wfn, "WFN wave-function file",
                                            {
                                                // The counts line right under the title.
                                                {{"MOL ORBITALS", "PRIMITIVES", "NUCLEI"}, true, 2},
                                            },
                                            ReadWfnInpFile);
