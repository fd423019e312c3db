// The readers of quantum-chemistry program outputs: Gaussian, KALDER, GAMESS,
// CFOUR and WFN, each reached through its table entry.
#include <cstdio>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kInput = "Found Input or Z-Matrix orientation!\n", kKalder = "Found Cartesian coordinates!\n";
const std::string kAngs = "Found Cartesian coordinates (Angs)!\n", kBohr = "Found Cartesian coordinates (Bohr)!\n";
const std::string kGaussInput = "                          Input orientation:", kGaussRule = " " + Dashes(69);
const std::string kGaussRow = "      1          8           0        0.000000    0.000000    0.000000";
const std::string kKalderNumbered = " Cartesian coordinates of all atoms";
const std::string kKalderSymbols = " Cartesian coordinates (Angstroms, Z-matrix orientation) of real atoms:";
const std::string kGamessAngs = " COORDINATES OF ALL ATOMS ARE (ANGS)";
const std::string kCfour = " Z-matrix   Atomic            Coordinates (in bohr)";
const std::string kGamessBohr = " ATOM      ATOMIC                      COORDINATES (BOHR)";
const std::string kWfnHeader = "GAUSSIAN              2 MOL ORBITALS      6 PRIMITIVES        2 NUCLEI";

// A table: marker, header lines, rows ('|' between them), closing line.
std::string GaussianTable(const std::string& marker, const std::string& rows, const std::string& end = kGaussRule)
{
  return Lines(marker + "|" + kGaussRule + "| Center| Number|" + kGaussRule + (rows.empty() ? "" : "|") + rows + "|" +
               end);
}
std::string KalderTable(const std::string& marker, const std::string& rows, const std::string& end = Dashes(35))
{
  return Lines(marker + "| ----|   No  Atom| ----" + (rows.empty() ? "" : "|") + rows + "|" + end);
}
std::string NoFinalNewline(const std::string& text)
{
  return text.substr(0, text.size() - 1);
}

// A WFN nucleus line in the fixed columns: label 3-4, X 25-36, Y/Z 37-60, charge 71-75.
std::string Nucleus(const char* label, int n, const char* charge, const char* x = "  0.00000000")
{
  char buf[128];
  std::snprintf(buf, sizeof buf, "  %-2.2s%4d    (CENTRE%3d) %-12.12s  0.00000000  0.00000000  CHARGE =%5s", label, n,
                n, x, charge);
  return buf;
}
} // namespace

TEST(ProgramOutputs, FixturesPlainAndCrlfThenTablesMarkersRowsEndsAndErrors)
{
  const std::string w = "O1,H2,H3", ww = w + "|" + w, oo = "O,H,H|O,H,H", me = "C1,H2,H3,H4,H5", mm = me + "|" + me;
  const std::string e = "C1,C2,O3,H4,H5,H6,H7,H8,H9", ch = "C,C,O,H,H,H,H,H,H", k3 = kKalder + kKalder + kKalder;
  const std::string standard = "Found Standard orientation!\nFound Standard orientation!\n";
  // clang-format off
  CheckAll({
      // Gaussian: input and Z-matrix orientations in file order, standard ones only when there are none.
      {"water_opt.log", FT_Gaussian, "", 0, ww, oo, kInput + kInput, {{1, 1, 1, 0.761534f}, {1, 2, 2, -0.481924f}}, 2},
      {"ch3cl_zmatrix.log", FT_Gaussian, "", 0, "C1,X2,Cl3|C1,Cl2", "C,?,Cl|C,Cl", kInput + kInput, {}, 1},
      {"methane_standard.log", FT_Gaussian, "", 0, mm, "C,H,H,H,H|C,H,H,H,H", standard, {{1, 1, 0, 0.627f}}, 4},
      // KALDER: a numbered table, then all atoms and real atoms by symbol; angstrom as printed.
      {"ethanol.kalder", FT_Kalder, "", 0, e + "|" + e + ",X10|" + e, ch + "|" + ch + ",?|" + ch, k3,
       {{0, 2, 0, -1.116810f}, {0, 2, 1, -0.391650f}, {0, 2, 2, 0.0f}, {1, 0, 1, 0.551802f}}, 8},
      // GAMESS: one Bohr table, then two angstrom tables.
      {"water_opt.gamout", FT_Gamess, "", 0, ww + "|" + w, oo + "|O,H,H", kBohr + kAngs + kAngs,
       {{0, 1, 0, Bohr(1.8141970000f)}, {0, 2, 1, Bohr(1.7530310000f)}, {2, 1, 0, 0.9917355093f}}, 2},
      // CFOUR: the dashed rule under the last row is no phantom atom.
      {"water_opt.c4", FT_Cfour, "", 0, ww, oo, kBohr + kBohr, {{0, 1, 1, Bohr(-1.432f)}, {1, 2, 2, Bohr(-0.984f)}}, 2},
      {"water.wfn", FT_Wfn, "", 0, w, "O,H,H", kBohr, {{0, 0, 2, Bohr(0.221436f)}, {0, 2, 1, Bohr(-1.430521f)}}, 2},
  }, true);
  // clang-format on

  // Markers need their leading blanks; more blanks or text around them still match.
  const std::string gaussMarkers = GaussianTable(kGaussInput.substr(1), kGaussRow) +
                                   GaussianTable("Input orientation:", kGaussRow) +
                                   GaussianTable("                        Z-Matrix orientation:", kGaussRow) +
                                   GaussianTable("                        Standard orientation:", kGaussRow) +
                                   GaussianTable("x " + kGaussInput + " y", kGaussRow);
  const std::string gaussRows =
      GaussianTable(kGaussInput, "     12         17           0    0.0 0.0 0.0|      3    "
                                 "     -1           0    1 0 0|      4          0           0 "
                                 "   2 0 0|      5        120           0    3 0 0|      6| " +
                                     Dashes(68) + "|      7          6") +
      GaussianTable(kGaussInput, kGaussRow, Dashes(80));
  const std::string kalderNames =
      KalderTable(kKalderNumbered, "  5  N  7  14.0  0 0 0|  6  C  6  12.0  1.4 0 0|  7  c  6  12.0  2.8 0 0") +
      KalderTable(kKalderSymbols, " N 0 0 0| C 1.4 0 0");
  const std::string kalderRules =
      KalderTable(" Cartesian coordinates (Angstroms, system of principal axes of rotation) of all atoms:",
                  " O 0 0 0| " + Dashes(34) + "| H 1 0 0", "  text " + Dashes(40) + " more");
  const std::string kalderMarkers = KalderTable(" Cartesian  coordinates of all atoms", " 1 C 6 12.0 0 0 0") +
                                    KalderTable(" cartesian coordinates of all atoms", " 1 C 6 12.0 0 0 0") +
                                    KalderTable(kKalderSymbols.substr(0, kKalderSymbols.size() - 1), " C 0 0 0");
  const std::string gamessRows = Lines(
      kGamessBohr + "|  CHARGE X Y Z| H 1.0 1.0 -1.0 0.5| CL 17.0 0 0 0| Q 0.0 0 0 0| BQ 0.9 0 0 0| " + Dashes(60) +
      "| LP none 1 2 3||" + kGamessAngs + "|  ATOM CHARGE X Y Z| " + Dashes(60) + "| C 6.0 1.0 -1.0 0.5| | x");
  const std::string gamessMarkers = Lines(" ATOM     ATOMIC                      COORDINATES (BOHR)|x| O 8.0 0 0 0|| "
                                          "coordinates of all atoms are (angs)|x|x| O 8.0 0 0 0||" +
                                          kGamessAngs + "|x|x|\r");
  const std::string cfourRows =
      Lines(kCfour + "|x|x| H 1 1.0 0 0| CL 17 0 0 0| X 0 0 0 0| GH H 0 0 0| -- text --|  - - -\r| Q 8 0 0 0||" +
            kCfour + "|x|x| O 8 0 0 0| |ZZ|" + kCfour.substr(1) + "|x|x| O 8 0 0 0|\r");
  const std::string wfn = Lines(
      "title|" + kWfnHeader + "|" + Nucleus("O", 1, "1.0", "  1.00000000") + "|" + Nucleus("Cl", 2, "17.0") + "|" +
      Nucleus("  ", 3, "0.0") + "|" + Nucleus("C", 4, "6.9xy", " -1.0e0") + "|CENTRE ASSIGNMENTS|MO 1 OCC NO = 2|" +
      kWfnHeader + "|" + Nucleus("C", 1, "6", "  0x1p-1") + "|" + Nucleus("C", 1, "6", " +.5e1abc") + "|" +
      Nucleus("C", 1, "6", "-7") + "|" + Nucleus("C", 1, "6", "   12.25e-1"));
  // A malformed nucleus line in the second section: the conversion's standard error; the first section stays.
  const std::string good = Nucleus("O", 1, "8.0"), first = Lines(kWfnHeader + "|" + good + "|CENTRE ASSIGNMENTS");
  const auto bad = [&](const std::string& l) { return first + Lines(kWfnHeader + "|" + good + "|" + l + "|" + good); };
  const std::string range = kBohr + kBohr + "out_of_range: ", substr = range + "basic_string::substr: __pos (which is ";
  const std::string invalid = kBohr + kBohr + "invalid_argument: stof";
  // clang-format off
  // Each marker announces one table: a marker among the skipped lines is not looked at.
  CheckAll({
      {"Gaussian empty", FT_Gaussian, GaussianTable(kGaussInput, ""), -1, "", "", kInput},
      {"Gaussian eof", FT_Gaussian, NoFinalNewline(Lines(kGaussInput + "|" + kGaussInput + "|x|x|x|" + kGaussRow + "|" +
                                                         kGaussRow)), 0, "O1,O1", "", kInput},
      {"Gaussian eof in skip", FT_Gaussian, Lines(kGaussInput + "|x"), -1, "", "", kInput},
      {"Gaussian markers", FT_Gaussian, gaussMarkers, 0, "O1", "", kInput},
      // No atomic number: a dummy. A line of blanks and 20 or more dashes ends the table (xtb's g98.out draws 68).
      {"Gaussian rows", FT_Gaussian, gaussRows, 0, "Cl12,X3,X4,??5,X6|O1", "Cl,?,?,?,?|O", kInput + kInput},
      {"KALDER empty", FT_Kalder, KalderTable(kKalderNumbered, ""), -1, "", "", kKalder},
      {"KALDER eof", FT_Kalder, NoFinalNewline(Lines(kKalderNumbered + "|" + kKalderNumbered +
                                                     "|x|x| 1 C 6 12.0 0 0 0| 2 O 8 16.0 1.2 0 0")), 0, "C1,O2", "",
       kKalder},
      {"KALDER eof in skip", FT_Kalder, Lines(kKalderNumbered + "| ----"), -1, "", "", kKalder},
      // Names from the number field, or from the row position; "c" as printed is no element.
      {"KALDER names", FT_Kalder, kalderNames, 0, "N5,C6,c7|N1,C2", "N,C,?|N,C", kKalder + kKalder, {{0, 2, 0, 2.8f}}},
      // 34 dashes are a row whose fields read as 0; 35 within a line end the table.
      {"KALDER rules", FT_Kalder, kalderRules, 0, "O1," + Dashes(34) + "2,H3", "", kKalder, {{0, 1, 0, 0.0f}}},
      // Markers are exact: spacing, case, and the colon of the symbol tables.
      {"KALDER markers", FT_Kalder, kalderMarkers, -1, "", "", ""},
      // GAMESS: one line skipped under the Bohr marker, two under the angstrom one; a dashed line is a row; a
      // charge that is no number reads as 0; charges are truncated; a lone blank ends the table; angstrom as read.
      {"GAMESS rows", FT_Gamess, gamessRows, 0, "H1,CL2,Q3,BQ4," + Dashes(60) + "5,LP6|C1", "H,Cl,?,?,?,?|C",
       kBohr + kAngs,
       {{0, 0, 0, Bohr(1)}, {0, 0, 1, -Bohr(1)}, {0, 0, 2, Bohr(0.5f)}, {0, 5, 0, 0}, {1, 0, 1, -1}, {1, 0, 2, 0.5f}}},
      {"GAMESS eof", FT_Gamess, Lines(kGamessAngs + "|" + kGamessBohr + "|x| O 8.0 0 0 0| H 1.0 0 0 0.96"), 0, "O1,H2",
       "", kAngs, {{0, 1, 2, 0.96f}}},
      {"GAMESS eof in skip", FT_Gamess, Lines(kGamessAngs + "|x"), -1, "", "", kAngs},
      // One blank fewer in the Bohr marker, or lower case: nothing.
      {"GAMESS markers", FT_Gamess, gamessMarkers, -1, "", "", kAngs},
      // CFOUR: dashes mixed with text are a row; a rule of dashes and blanks ends the table, as does a lone
      // blank; a marker needs its leading blank.
      {"CFOUR rows", FT_Cfour, cfourRows, 0, "H1,CL2,X3,GH4,--5|O1", "H,Cl,?,?,?|O", kBohr + kBohr,
       {{0, 0, 0, Bohr(1)}}},
      {"CFOUR empty", FT_Cfour, Lines(kCfour + "|x|x| " + Dashes(64) + "| O 8 0 0 0"), -1, "", "", kBohr},
      {"CFOUR eof", FT_Cfour, Lines(kCfour + "|" + kCfour + "|x| O 8 0 0 0"), 0, "O1", "", kBohr},
      {"CFOUR eof in skip", FT_Cfour, Lines(kCfour + "|x"), -1, "", "", kBohr},
      // WFN: names from the label, the element from the charge; fields converted as std::stof takes them
      // (blanks, signs, hex, trailing text); the second section ends at the end of the file.
      {"WFN", FT_Wfn, wfn, 0, "O1,Cl2,  3,C4|C1,C2,C3,C4", "H,Cl,?,C|C,C,C,C", kBohr + kBohr,
       {{0, 0, 0, Bohr(1)}, {0, 3, 0, -Bohr(1)}, {1, 0, 0, Bohr(0.5f)}, {1, 1, 0, Bohr(5)}, {1, 2, 0, Bohr(-7)},
        {1, 3, 0, Bohr(1.225f)}}},
      {"WFN header incomplete", FT_Wfn, Lines("title|MOL ORBITALS PRIMITIVES|" + good), -1, "", "", ""},
      {"WFN short of Z", FT_Wfn, bad(good.substr(0, 30)), -1, "O1", "", substr + "36) > this->size() (which is 30)"},
      {"WFN no charge", FT_Wfn, bad(good.substr(0, 60)), -1, "O1", "", substr + "70) > this->size() (which is 60)"},
      {"WFN empty line", FT_Wfn, bad(""), -1, "O1", "", substr + "2) > this->size() (which is 0)"},
      {"WFN empty charge", FT_Wfn, bad(good.substr(0, 70)), -1, "O1", "", invalid},
      {"WFN charge no number", FT_Wfn, bad(Nucleus("O", 1, "  ab ")), -1, "O1", "", invalid},
      {"WFN overflow", FT_Wfn, bad(Nucleus("O", 1, "8.0", "  1.0e+40000")), -1, "O1", "", range + "stof"},
      {"WFN underflow", FT_Wfn, bad(Nucleus("O", 1, "8.0", "  1.0e-50000")), -1, "O1", "", range + "stof"},
  });
  // clang-format on
}
