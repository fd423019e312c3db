// The readers of quantum-chemistry program outputs: Gaussian, KALDER, GAMESS,
// CFOUR and WFN.
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "qcout_testutil.h"

using namespace qctest;

namespace {

using Reader = std::function<int(const std::string&, StructureList&)>;

Reader Gaussian(int selector)
{
  return [selector](const std::string& p, StructureList& l) { return ReadGaussianFile(p, FT_Gaussian, l, selector); };
}
const Reader kKalder = [](const std::string& p, StructureList& l) { return ReadKalderFile(p, FT_Kalder, l); };
const Reader kGamess = [](const std::string& p, StructureList& l) { return ReadGamessFile(p, FT_Gamess, l); };
const Reader kCfour = [](const std::string& p, StructureList& l) { return ReadCfourLogFile(p, FT_Cfour, l); };
const Reader kWfn = [](const std::string& p, StructureList& l) { return ReadWfnInpFile(p, FT_Wfn, l); };

struct Result {
  int rc;
  StructureList list;
  std::string log;
};

Result ReadWith(const Reader& read, const std::string& path)
{
  LogCapture log;
  Result r;
  r.rc = read(path, r.list);
  r.log = log.text();
  return r;
}

Result RunText(const Reader& read, const std::string& text) { return ReadWith(read, WriteFile("qc.out", text)); }

const std::string kGaussInput = "                          Input orientation:";
const std::string kGaussRule = " " + Repeat("-", 69);
const std::string kGaussRow = "      1          8           0        0.000000    0.000000    0.000000";

// A table: marker, header lines, rows, closing line.
std::string Table(const std::string& marker, const std::vector<std::string>& header, const std::vector<std::string>& rows,
                  const std::string& end)
{
  std::vector<std::string> lines = {marker};
  lines.insert(lines.end(), header.begin(), header.end());
  lines.insert(lines.end(), rows.begin(), rows.end());
  lines.push_back(end);
  return Lines(lines);
}
std::string GaussianTable(const std::string& marker, const std::vector<std::string>& rows, const std::string& end = kGaussRule)
{
  return Table(marker, {kGaussRule, " Center ...", " Number ...", kGaussRule}, rows, end);
}
const std::string kKalderNumbered = " Cartesian coordinates of all atoms";
std::string KalderTable(const std::string& marker, const std::vector<std::string>& rows, const std::string& end = Repeat("-", 35))
{
  return Table(marker, {" ----", "   No  Atom", " ----"}, rows, end);
}

const std::string kGamessBohr = " ATOM      ATOMIC                      COORDINATES (BOHR)";
const std::string kGamessAngs = " COORDINATES OF ALL ATOMS ARE (ANGS)";
const std::string kCfourMarker = " Z-matrix   Atomic            Coordinates (in bohr)";
const std::string kWfnHeader = "GAUSSIAN              2 MOL ORBITALS      6 PRIMITIVES        2 NUCLEI";
const std::string kWfnCentre = "CENTRE ASSIGNMENTS    1  1  2";

// A WFN nucleus line in the fixed columns: label 3-4, X/Y/Z 25-60, charge 71-75.
std::string Nucleus(const char* label, int n, double x, double y, double z, const char* charge)
{
  char buf[128];
  std::snprintf(buf, sizeof buf, "  %-2.2s%4d    (CENTRE%3d) %12.8f%12.8f%12.8f  CHARGE =%5s", label, n, n, x, y, z, charge);
  return buf;
}

const float kBohr1 = static_cast<float>(0.52917721067);

} // namespace

TEST(ProgramOutputs, FixturesWithPlainAndCrlfLineEnds)
{
  const std::string water = "O1,H2,H3", ethanol = "C1,C2,O3,H4,H5,H6,H7,H8,H9";
  const std::string input = "Found Input or Z-Matrix orientation!\n", bohr = "Found Cartesian coordinates (Bohr)!\n";
  struct Coord {
    size_t structure;
    int atom, axis;
    float value;
  };
  const struct {
    const char* file;
    bool crlf;
    Reader read;
    std::string log;
    std::vector<std::string> names, symbols; // per structure
    int lastBonds;
    std::vector<Coord> coords;
  } cases[] = {
    // Gaussian: selector 0 takes input and Z-matrix orientations in file order, 1 standard ones.
    {"water_opt.log", true, Gaussian(0), Repeat(input, 2), {water, water}, {"O,H,H", "O,H,H"}, 2,
     {{1, 1, 1, 0.761534f}, {1, 2, 2, -0.481924f}}},
    {"ch3cl_zmatrix.log", false, Gaussian(0), Repeat(input, 2), {"C1,X2,Cl3", "C1,Cl2"}, {"C,?,Cl", "C,Cl"}, 1, {}},
    {"methane_standard.log", false, Gaussian(1), Repeat("Found Standard orientation!\n", 2),
     {"C1,H2,H3,H4,H5", "C1,H2,H3,H4,H5"}, {"C,H,H,H,H", "C,H,H,H,H"}, 4, {{1, 1, 0, 0.627f}}},
    // KALDER: a numbered table, then all atoms and real atoms by symbol; angstrom as printed.
    {"ethanol.kalder", true, kKalder, Repeat("Found Cartesian coordinates!\n", 3), {ethanol, ethanol + ",X10", ethanol},
     {"C,C,O,H,H,H,H,H,H", "C,C,O,H,H,H,H,H,H,?", "C,C,O,H,H,H,H,H,H"}, 8,
     {{0, 2, 0, -1.116810f}, {0, 2, 1, -0.391650f}, {0, 2, 2, 0.0f}, {1, 0, 1, 0.551802f}}},
    // GAMESS: one Bohr table, then two angstrom tables.
    {"water_opt.gamout", true, kGamess, bohr + Repeat("Found Cartesian coordinates (Angs)!\n", 2),
     {water, water, water}, {"O,H,H", "O,H,H", "O,H,H"}, 2,
     {{0, 1, 0, Bohr(1.8141970000f)}, {0, 2, 1, Bohr(1.7530310000f)}, {2, 1, 0, 0.9917355093f}}},
    // CFOUR: the dashed rule under the last row is no phantom atom.
    {"water_opt.c4", true, kCfour, Repeat(bohr, 2), {water, water}, {"O,H,H", "O,H,H"}, 2,
     {{0, 1, 1, Bohr(-1.432f)}, {1, 2, 2, Bohr(-0.984f)}}},
    {"water.wfn", true, kWfn, bohr, {water}, {"O,H,H"}, 2, {{0, 0, 2, Bohr(0.221436f)}, {0, 2, 1, Bohr(-1.430521f)}}},
  };
  for (const auto& c : cases) {
    for (bool crlf : {false, true}) {
      if (crlf && !c.crlf)
        continue;
      std::string file = c.file;
      if (crlf)
        file.insert(file.rfind('.'), "_crlf");
      SCOPED_TRACE(file);
      Result r = ReadWith(c.read, Fixture(file));
      EXPECT_EQ(r.rc, 0);
      EXPECT_EQ(r.log, c.log);
      ASSERT_EQ(r.list.size(), c.names.size());
      for (size_t s = 0; s < r.list.size(); ++s) {
        EXPECT_EQ(NameList(*r.list[s]), c.names[s]) << s;
        EXPECT_EQ(SymbolList(*r.list[s]), c.symbols[s]) << s;
        EXPECT_TRUE(r.list[s]->moleculeName().empty());
      }
      EXPECT_EQ(r.list.back()->bonds(), c.lastBonds);
      for (const Coord& k : c.coords)
        EXPECT_EQ(r.list[k.structure]->atom(k.atom)->coordinates()[k.axis], k.value)
            << k.structure << " " << k.atom << " " << k.axis;
    }
  }

  // The selector finds only its own family; a list already filled keeps its entries.
  const std::string methane = Fixture("methane_standard.log");
  Result r = ReadWith(Gaussian(0), methane);
  EXPECT_EQ(r.rc, -1);
  EXPECT_EQ(r.log, "");
  LogCapture quiet;
  EXPECT_EQ(ReadGaussianFile(Fixture("water_opt.log"), FT_Gaussian, r.list, 0), 0);
  EXPECT_EQ(ReadGaussianFile(methane, FT_Gaussian, r.list, 2), -1);
  EXPECT_EQ(r.list.size(), 2u);

  StructureList none;
  for (const Reader& read : {Gaussian(0), kKalder, kGamess, kCfour, kWfn})
    EXPECT_EQ(read("/nonexistent/x.out", none), -1);
  EXPECT_TRUE(none.empty());
}

TEST(ProgramOutputs, EmptyTablesAndEndsOfFile)
{
  const std::string x = "x", gaussian = "Found Input or Z-Matrix orientation!\n", kalder = "Found Cartesian coordinates!\n";
  const std::string angs = "Found Cartesian coordinates (Angs)!\n", bohr = "Found Cartesian coordinates (Bohr)!\n";
  const auto noFinalNewline = [](const std::string& s) { return s.substr(0, s.size() - 1); };
  // Each announces one table: a marker among the skipped lines is not looked at.
  const struct {
    const char* what;
    Reader read;
    std::string text;
    int rc;
    std::string names, log; // names of the one structure, if any
  } cases[] = {
    {"Gaussian empty", Gaussian(0), GaussianTable(kGaussInput, {}), -1, "", gaussian},
    {"Gaussian eof", Gaussian(0), noFinalNewline(Lines({kGaussInput, kGaussInput, x, x, x, kGaussRow, kGaussRow})), 0,
     "O1,O1", gaussian},
    {"Gaussian eof in skip", Gaussian(0), Lines({kGaussInput, x}), -1, "", gaussian},
    {"KALDER empty", kKalder, KalderTable(kKalderNumbered, {}), -1, "", kalder},
    {"KALDER eof", kKalder,
     noFinalNewline(Lines({kKalderNumbered, kKalderNumbered, x, x, " 1 C 6 12.0 0 0 0", " 2 O 8 16.0 1.2 0 0"})), 0,
     "C1,O2", kalder},
    {"KALDER eof in skip", kKalder, Lines({kKalderNumbered, " ----"}), -1, "", kalder},
    {"GAMESS eof", kGamess, Lines({kGamessAngs, kGamessBohr, x, " O 8.0 0 0 0", " H 1.0 0 0 0.96"}), 0, "O1,H2", angs},
    {"GAMESS eof in skip", kGamess, Lines({kGamessAngs, x}), -1, "", angs},
    {"CFOUR empty", kCfour, Lines({kCfourMarker, x, x, " " + Repeat("-", 64), " O 8 0 0 0"}), -1, "", bohr},
    {"CFOUR eof", kCfour, Lines({kCfourMarker, kCfourMarker, x, " O 8 0 0 0"}), 0, "O1", bohr},
    {"CFOUR eof in skip", kCfour, Lines({kCfourMarker, x}), -1, "", bohr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = RunText(c.read, c.text);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(r.log, c.log);
    ASSERT_EQ(r.list.size(), c.rc == 0 ? 1u : 0u);
    if (c.rc == 0)
      EXPECT_EQ(NameList(*r.list[0]), c.names);
  }
  EXPECT_EQ(RunText(kGamess, Lines({kGamessAngs, kGamessBohr, x, " O 8.0 0 0 0", " H 1.0 0 0 0.96"}))
                .list[0]->atom(1)->coordinates().z, 0.96f); // angstrom, not Bohr
}

TEST(GaussianReader, MarkersNeedTheirLeadingBlanks)
{
  const std::string zmatrix = "                         Z-Matrix orientation:";
  const std::string standard = "                         Standard orientation:";
  const std::string text = GaussianTable(kGaussInput.substr(1), {kGaussRow}) + GaussianTable(zmatrix.substr(1), {kGaussRow}) +
                           GaussianTable(standard.substr(1), {kGaussRow}) + GaussianTable("Input orientation:", {kGaussRow});
  EXPECT_EQ(RunText(Gaussian(0), text).rc, -1);
  EXPECT_EQ(RunText(Gaussian(1), text).rc, -1);
  // More blanks, or text around the marker, still match.
  EXPECT_EQ(RunText(Gaussian(0), GaussianTable("x " + kGaussInput + " y", {kGaussRow})).list.size(), 1u);
}

TEST(GaussianReader, NamesFromAtomicNumberAndTheRuleThatEnds)
{
  const std::string text =
    GaussianTable(kGaussInput, {"     12         17           0    0.0 0.0 0.0", "      3         -1           0    1.0 0.0 0.0",
                                "      4          0           0    2.0 0.0 0.0", "      5        120           0    3.0 0.0 0.0",
                                "      6", " " + Repeat("-", 68), "      7          6"}) +
    GaussianTable(kGaussInput, {kGaussRow}, Repeat("-", 80));
  Result r = RunText(Gaussian(0), text);
  ASSERT_EQ(r.list.size(), 2u);
  // No atomic number: a dummy. 68 dashes are a row whose centre reads 0; 69 or more end the table.
  EXPECT_EQ(NameList(*r.list[0]), "Cl12,X3,X4,??5,X6,X0,C7");
  EXPECT_EQ(SymbolList(*r.list[0]), "Cl,?,?,?,?,?,C");
  EXPECT_EQ(r.list[0]->atom(6)->coordinates().x, 0.0f);
  EXPECT_EQ(NameList(*r.list[1]), "O1");
}

TEST(KalderReader, NamesMarkersAndRules)
{
  Result r = RunText(kKalder, KalderTable(kKalderNumbered, {"  5  N  7  14.0  0.0 0.0 0.0", "  6  C  6  12.0  1.4 0.0 0.0",
                                                            "  7  c  6  12.0  2.8 0.0 0.0"}) +
                                  KalderTable(" Cartesian coordinates (Angstroms, Z-matrix orientation) of real atoms:",
                                              {" N 0 0 0", " C 1.4 0 0"}));
  ASSERT_EQ(r.list.size(), 2u);
  // Names from the number field, or from the row position; "c" as printed is no element.
  EXPECT_EQ(NameList(*r.list[0]), "N5,C6,c7");
  EXPECT_EQ(SymbolList(*r.list[0]), "N,C,?");
  EXPECT_EQ(r.list[0]->atom(2)->coordinates().x, 2.8f);
  EXPECT_EQ(NameList(*r.list[1]), "N1,C2");

  // 34 dashes are a row whose fields read as 0; 35 within a line end the table.
  r = RunText(kKalder, KalderTable(" Cartesian coordinates (Angstroms, system of principal axes of rotation) of all atoms:",
                                   {" O 0 0 0", " " + Repeat("-", 34), " H 1 0 0"}, "  text " + Repeat("-", 40) + " more"));
  ASSERT_EQ(r.list.size(), 1u);
  EXPECT_EQ(NameList(*r.list[0]), "O1," + Repeat("-", 34) + "2,H3");
  EXPECT_EQ(r.list[0]->atom(1)->coordinates().x, 0.0f);

  // Markers are exact: spacing, case, and the colon of the symbol tables.
  r = RunText(kKalder, KalderTable(" Cartesian  coordinates of all atoms", {" 1 C 6 12.0 0 0 0"}) +
                           KalderTable(" cartesian coordinates of all atoms", {" 1 C 6 12.0 0 0 0"}) +
                           KalderTable(" Cartesian coordinates (Angstroms, Z-matrix orientation) of all atoms", {" C 0 0 0"}));
  EXPECT_EQ(r.rc, -1);
  EXPECT_EQ(r.log, "");
}

TEST(GamessReader, ChargesUnitsOddRowsAndMarkers)
{
  Result r = RunText(kGamess, Lines({kGamessBohr, "  CHARGE X Y Z", " H 1.0 1.0 -1.0 0.5", " CL 17.0 0 0 0", " Q 0.0 0 0 0",
                                     " BQ 0.9 0 0 0", " " + Repeat("-", 60), " LP none 1 2 3", "", kGamessAngs,
                                     "  ATOM CHARGE X Y Z", " " + Repeat("-", 60), " C 6.0 1.0 -1.0 0.5", " ", " x"}));
  ASSERT_EQ(r.list.size(), 2u);
  const vl::Molecule& bohr = *r.list[0];
  // One line skipped under the Bohr marker; a dashed line is a row; a charge
  // that is no number reads as 0; charges are truncated.
  EXPECT_EQ(NameList(bohr), "H1,CL2,Q3,BQ4," + Repeat("-", 60) + "5,LP6");
  EXPECT_EQ(SymbolList(bohr), "H,Cl,?,?,?,?");
  EXPECT_EQ(bohr.atom(0)->coordinates(), vl::fvec3(kBohr1, -kBohr1, Bohr(0.5f)));
  EXPECT_EQ(bohr.atom(5)->coordinates().x, 0.0f);
  // Two lines skipped under the angstrom marker; a lone blank ends the table; coordinates as read.
  EXPECT_EQ(NameList(*r.list[1]), "C1");
  EXPECT_EQ(r.list[1]->atom(0)->coordinates(), vl::fvec3(1.0f, -1.0f, 0.5f));

  // One blank fewer in the Bohr marker, or lower case: nothing.
  r = RunText(kGamess, Lines({" ATOM     ATOMIC                      COORDINATES (BOHR)", "x", " O 8.0 0 0 0", "",
                              " coordinates of all atoms are (angs)", "x", "x", " O 8.0 0 0 0", "", kGamessAngs, "x", "x", "\r"}));
  EXPECT_EQ(r.rc, -1);
  EXPECT_EQ(r.log, "Found Cartesian coordinates (Angs)!\n");
}

TEST(CfourReader, RowsAndTerminators)
{
  Result r = RunText(kCfour, Lines({kCfourMarker, "x", "x", " H 1 1.0 0 0", " CL 17 0 0 0", " X 0 0 0 0", " GH H 0 0 0",
                                    " -- text --", "  - - -\r", " Q 8 0 0 0", "", kCfourMarker, "x", "x", " O 8 0 0 0", " ",
                                    "ZZ", kCfourMarker.substr(1), "x", "x", " O 8 0 0 0", "\r"}));
  ASSERT_EQ(r.list.size(), 2u);
  // Dashes mixed with text are a row; a rule of dashes and blanks ends the table.
  EXPECT_EQ(NameList(*r.list[0]), "H1,CL2,X3,GH4,--5");
  EXPECT_EQ(SymbolList(*r.list[0]), "H,Cl,?,?,?");
  EXPECT_EQ(r.list[0]->atom(0)->coordinates().x, kBohr1);
  EXPECT_EQ(NameList(*r.list[1]), "O1"); // a lone blank ends it; the unmarked table is skipped
}

TEST(WfnReader, LabelNamesChargeGivesElementFieldsLikeStof)
{
  // Fields converted as std::stof takes them: blanks, signs, hex, trailing text.
  const char* fields[] = {"  0x1p-1", " +.5e1abc", "-7", "   12.25e-1"};
  std::vector<std::string> stof = {kWfnHeader};
  for (const char* f : fields) {
    stof.push_back(Nucleus("C", 1, 0, 0, 0, "6.0"));
    stof.back().replace(24, 12, (std::string(f) + "            ").substr(0, 12));
  }
  Result r = RunText(kWfn, Lines({"title", kWfnHeader, Nucleus("O", 1, 1.0, -1.0, 0.5, "1.0"), Nucleus("Cl", 2, 0, 0, 0, "17.0"),
                                  Nucleus("  ", 3, 0, 0, 0, "0.0"), Nucleus("C", 4, 0, 0, 0, "6.9xy"), kWfnCentre,
                                  "MO    1     MO 0.0        OCC NO =    2.0000000  ORB. ENERGY =  -20.25"}) +
                           Lines(stof));
  ASSERT_EQ(r.list.size(), 2u); // the second section ends at the end of the file
  EXPECT_EQ(NameList(*r.list[0]), "O1,Cl2,  3,C4");
  EXPECT_EQ(SymbolList(*r.list[0]), "H,Cl,?,C");
  EXPECT_EQ(r.list[0]->atom(0)->coordinates(), vl::fvec3(kBohr1, -kBohr1, Bohr(0.5f)));
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(r.list[1]->atom(i)->coordinates().x, Bohr(std::stof(fields[i]))) << fields[i];

  EXPECT_EQ(RunText(kWfn, Lines({"title", "MOL ORBITALS PRIMITIVES", Nucleus("O", 1, 0, 0, 0, "8.0")})).rc, -1);
}

TEST(WfnReader, MalformedNucleusLinesRaiseStandardErrors)
{
  const std::string good = Nucleus("O", 1, 0, 0, 0, "8.0");
  const std::string first = Lines({kWfnHeader, good, kWfnCentre});
  LogCapture quiet;
  const struct {
    std::string line;
    bool outOfRange;
    std::string text;
  } cases[] = {
    {good.substr(0, 60), true, "basic_string::substr: __pos (which is 70) > this->size() (which is 60)"},
    {"", true, "basic_string::substr: __pos (which is 2) > this->size() (which is 0)"},
    {good.substr(0, 30), true, "basic_string::substr: __pos (which is 36) > this->size() (which is 30)"},
    {good.substr(0, 70), false, "stof"}, // an empty charge field
    {Nucleus("O", 1, 0, 0, 0, "  ab "), false, "stof"},
    {"  O    1    (CENTRE  1)   1.0e+40000  0.00000000  0.00000000  CHARGE =  8.0", true, "stof"},
    {"  O    1    (CENTRE  1)   1.0e-50000  0.00000000  0.00000000  CHARGE =  8.0", true, "stof"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    StructureList list;
    const std::string path = WriteFile("bad.wfn", first + Lines({kWfnHeader, good, c.line, good, kWfnCentre}));
    std::string error;
    bool outOfRange = false;
    try {
      ReadWfnInpFile(path, FT_Wfn, list);
    } catch (const std::out_of_range& e) {
      error = e.what();
      outOfRange = true;
    } catch (const std::invalid_argument& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.text);
    EXPECT_EQ(outOfRange, c.outOfRange);
    // The section being read is dropped; the one before it stays.
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->atoms(), 1);
  }
}
