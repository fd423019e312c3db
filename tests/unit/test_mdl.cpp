// The MDL Molfile/SD reader, through its table entry.
#include <cmath>
#include <cstdio>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
std::string AtomLine(double x, double y, double z, const char* symbol)
{
  char buf[96];
  std::snprintf(buf, sizeof buf, "%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0", x, y, z, symbol);
  return buf;
}
// Title, program and comment lines, the counts line, then the rest.
std::string Record(const std::string& counts, const std::string& rest, const char* eol = "\n")
{
  return Lines("t|p||" + counts + (rest.empty() ? "" : "|" + rest), eol);
}
} // namespace

TEST(MdlReader, AtomBlockSymbolsCountsAndEnds)
{
  // The bond block says nothing useful: bonds come from the geometry alone.
  std::string benzene;
  for (int i = 0; i < 12; ++i) {
    const double a = (60.0 * i + 30.0) * M_PI / 180.0, r = i < 6 ? 1.397 : 2.484;
    benzene += AtomLine(r * std::cos(a), r * std::sin(a), 0, i < 6 ? "C" : "H") + "|";
  }
  const std::string ow = AtomLine(0, 0, 0, "O") + "|" + AtomLine(0, 0.96, 0, "H"), bond = "  1  2  1  0  0  0  0";
  const std::string water = ow + "|" + AtomLine(0.93, -0.24, 0, "H") + "|M  END", ph = AtomLine(-1, 0, 0, "Ph");
  const std::string symbols = AtomLine(0, 0, 0, "C") + "|" + AtomLine(1.77, 0, 0, "CL") + "|" +
                              AtomLine(0, 1.77, 0, "cl") + "|" + AtomLine(0, 0, 0.8, "X") + "|" + ph +
                              "|  1  2  1  0|" + AtomLine(0, -1.77, 0, "Cl");
  const std::string v2000 = "  0  0  0  0  0  0  0  0999 V2000", benzeneRest = "|M  END|$$$$|second|garbage||  1";
  // clang-format off
  CheckAll({
      {"benzene, first record only", FT_MdlMol, Record(" 12  1" + v2000, benzene + bond + benzeneRest), 0,
       "C1,C2,C3,C4,C5,C6,H7,H8,H9,H10,H11,H12", "", "", {{0, 1, 0, 0.0f}, {0, 1, 1, 1.397f}}, 12},
      // Symbols in any case; X is a dummy, never bonded; unknown symbols and bond lines are logged.
      {"symbols", FT_MdlMol, Record("  5  0" + v2000, symbols), 0, "C1,Cl2,Cl3,X4,Cl5", "C,Cl,Cl,?,Cl",
       "Line '" + ph + "' ignored!\nLine '  1  2  1  0' ignored!\n", {}, 3},
      // The atom count is the first three columns of the counts line.
      {"V2000", FT_MdlMol, Record("  3  2" + v2000, water), 0, "O1,H2,H3", "O,H,H", "", {{0, 2, 0, 0.93f}}, 2},
      {"stops at the count", FT_MdlMol, Record("  2  1" + v2000, water), 0, "O1,H2", "", ""},
      {"bare count", FT_MdlMol, Record("3", water), 0, "O1,H2,H3", "", ""},
      {"only three columns: 2", FT_MdlMol, Record("  21", water), 0, "O1,H2", "", ""},
      {"count in columns 4-6", FT_MdlMol, Record("     3  0", water), -1, "", "", ""},
      {"empty counts line", FT_MdlMol, Record("", water), -1, "", "", ""},
      {"zero", FT_MdlMol, Record("  0  0", water), -1, "", "", ""},
      {"negative", FT_MdlMol, Record(" -3", water), -1, "", "", ""},
      {"not a number", FT_MdlMol, Record("abc", water), -1, "", "", ""},
      {"no counts line", FT_MdlMol, Lines("t|p|"), -1, "", "", ""},
      // Too large a count: bond lines are ignored lines; M  END, a blank line or the end of the file stops.
      {"M  END", FT_MdlMol, Record("  9  1", ow + "|" + bond + "|M  END|" + AtomLine(5, 5, 5, "C")), 0, "O1,H2", "",
       "Line '" + bond + "' ignored!\n"},
      {"blank line with CR", FT_MdlMol, Record("  9", ow + "||" + AtomLine(1, 1, 1, "H"), "\r\n"), 0, "O1,H2", "", ""},
      {"end of file", FT_MdlMol, Record("  9", ow), 0, "O1,H2", "", ""},
      {"nothing accepted", FT_MdlMol, Record("  2", bond + "|M  END"), -1, "", "", "Line '" + bond + "' ignored!\n"},
  });
  // clang-format on
}
