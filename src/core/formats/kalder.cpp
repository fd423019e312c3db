// KALDER output: Cartesian coordinate tables in angstrom, one structure each.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kNumberedMarker = "Cartesian coordinates of all atoms";
constexpr std::string_view kSymbolMarkers[] = {
    "Cartesian coordinates (Angstroms, system of principal axes of rotation) of all atoms:",
    "Cartesian coordinates (Angstroms, Z-matrix orientation) of all atoms:",
    "Cartesian coordinates (Angstroms, system of principal axes of rotation) of real atoms:",
    "Cartesian coordinates (Angstroms, Z-matrix orientation) of real atoms:",
};
// Every marker above contains this; most lines fail on it alone.
constexpr std::string_view kCommonPart = "Cartesian coordinates ";
constexpr std::string_view kRule = "-----------------------------------"; // 35

enum class Table { None, Numbered, Symbol };

Table MarkerIn(std::string_view line)
{
  if (!qcout::Contains(line, kCommonPart))
    return Table::None;
  if (qcout::Contains(line, kNumberedMarker))
    return Table::Numbered;
  for (std::string_view marker : kSymbolMarkers)
    if (qcout::Contains(line, marker))
      return Table::Symbol;
  return Table::None;
}

int ReadKalderFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  auto startsTable = [&](std::string_view line, LineReader& in) {
    const Table table = MarkerIn(line);
    if (table == Table::None)
      return 0;
    qcout::Announce(log, "Found Cartesian coordinates!\n");
    in.skip(3);
    return static_cast<int>(table);
  };
  auto readRows = [](LineReader& in, int table, vl::Molecule& molecule) {
    std::string_view line;
    std::string symbol;
    int position = 0;
    while (in.next(line) && !qcout::Contains(line, kRule)) {
      FieldReader row(line);
      symbol.clear();
      int number = 0, unusedInt = 0;
      float unusedReal = 0, x = 0, y = 0, z = 0;
      if (table == static_cast<int>(Table::Numbered)) {
        row >> number >> symbol >> unusedInt >> unusedReal >> x >> y >> z;
      } else {
        number = ++position;
        row >> symbol >> x >> y >> z;
      }
      // The symbol goes to the lookup as printed: "c" is not carbon.
      qcout::AddAtom(molecule, x, y, z, symbol + std::to_string(number), vl::atomType(symbol));
    }
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows);
}

} // namespace

extern const FileFormat kKalderFormat;
const FileFormat kKalderFormat = ContentFormat(FT_Kalder, "KALDER output",
                                               {
                                                   {{"Started on", "KALDER started at"}},
                                                   {{"Quorvane"}}, // the author signature in the program's header
                                                   {{"PID="}},
                                               },
                                               ReadKalderFile);
