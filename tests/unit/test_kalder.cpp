#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kNumbered = " Cartesian coordinates of all atoms";
const std::string kPrincipalAll = " Cartesian coordinates (Angstroms, system of principal axes of rotation) of all atoms:";
const std::string kRule35 = Repeat("-", 35);
const std::vector<std::string> kSkip = {" ----", "   No  Atom", " ----"};

std::string Table(const std::string& marker, const std::vector<std::string>& rows, const std::string& end = kRule35)
{
  std::vector<std::string> lines = {marker};
  lines.insert(lines.end(), kSkip.begin(), kSkip.end());
  lines.insert(lines.end(), rows.begin(), rows.end());
  lines.push_back(end);
  return Lines(lines);
}
} // namespace

TEST(KalderReader, OutputWithNumberedAllAndRealAtomTables)
{
  for (const char* name : {"ethanol.kalder", "ethanol_crlf.kalder"}) {
    SCOPED_TRACE(name);
    LogCapture log;
    StructureList list;
    ASSERT_EQ(ReadKalderFile(Fixture(name), FT_Kalder, list), 0);
    ASSERT_EQ(list.size(), 3u); // numbered, all atoms, real atoms
    EXPECT_EQ(log.text(), Repeat("Found Cartesian coordinates!\n", 3));
    EXPECT_EQ(list[0]->atoms(), 9);
    EXPECT_EQ(list[1]->atoms(), 10);
    EXPECT_EQ(list[2]->atoms(), 9);
    EXPECT_EQ(Names(*list[0])[2], "O3");
    EXPECT_EQ(Names(*list[1])[9], "X10");
    const vl::fvec3 c = list[0]->atom(2)->coordinates();
    EXPECT_EQ(c.x, -1.116810f);
    EXPECT_EQ(c.y, -0.391650f);
    EXPECT_EQ(c.z, 0.0f);
    EXPECT_EQ(list[1]->atom(0)->coordinates().y, 0.551802f); // angstrom, unconverted
    EXPECT_EQ(list[0]->atom(2)->atomType(), vl::AT_Oxygen);
    EXPECT_EQ(list[1]->atom(9)->atomType(), vl::AT_Unknown);
    EXPECT_TRUE(list[0]->moleculeName().empty());
  }
}

TEST(KalderReader, NamesFromNumberFieldOrRowPosition)
{
  StructureList list;
  const std::string text =
    Table(kNumbered, {"  5  N  7  14.0  0.0 0.0 0.0", "  6  C  6  12.0  1.4 0.0 0.0", "  7  c  6  12.0  2.8 0.0 0.0"}) +
    Table(" Cartesian coordinates (Angstroms, Z-matrix orientation) of real atoms:", {" N 0 0 0", " C 1.4 0 0"});
  ASSERT_EQ(ReadKalderFile(WriteFile("names.out", text), FT_Kalder, list), 0);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"N5", "C6", "c7"}));
  EXPECT_EQ(Names(*list[1]), (std::vector<std::string>{"N1", "C2"}));
  EXPECT_EQ(list[0]->atom(0)->coordinates().x, 0.0f);
  EXPECT_EQ(list[0]->atom(2)->coordinates().x, 2.8f);
  // The symbol goes to atomType as printed: lower-case "c" names no element.
  EXPECT_EQ(Types(*list[0]), (std::vector<vl::EAtomType>{vl::AT_Nitrogen, vl::AT_Carbon, vl::AT_Unknown}));
}

TEST(KalderReader, ThirtyFiveDashesEndATableThirtyFourDoNot)
{
  StructureList list;
  const std::string text = Table(kPrincipalAll, {" O 0 0 0", " " + Repeat("-", 34), " H 1 0 0"}, "  text " + Repeat("-", 40) + " more");
  ASSERT_EQ(ReadKalderFile(WriteFile("rule.out", text), FT_Kalder, list), 0);
  ASSERT_EQ(list.size(), 1u);
  // The short rule is a row: no number in it, so its fields read as 0.
  EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"O1", Repeat("-", 34) + "2", "H3"}));
  EXPECT_EQ(list[0]->atom(1)->coordinates().x, 0.0f);
}

TEST(KalderReader, MarkersAreExact)
{
  LogCapture log;
  StructureList list;
  const std::string text = Table(" Cartesian  coordinates of all atoms", {" 1 C 6 12.0 0 0 0"}) +
                           Table(" cartesian coordinates of all atoms", {" 1 C 6 12.0 0 0 0"}) +
                           Table(" Cartesian coordinates (Angstroms, Z-matrix orientation) of all atoms", {" C 0 0 0"});
  EXPECT_EQ(ReadKalderFile(WriteFile("nomarker.out", text), FT_Kalder, list), -1);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(log.text(), "");
}

TEST(KalderReader, EmptyTablesAndEndOfFile)
{
  {
    LogCapture log;
    StructureList list;
    EXPECT_EQ(ReadKalderFile(WriteFile("empty.out", Table(kNumbered, {})), FT_Kalder, list), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.text(), "Found Cartesian coordinates!\n");
  }
  {
    // A marker among the skipped lines is not looked at; the file ends inside the table.
    StructureList list;
    const std::string text = Lines({kNumbered, kNumbered, " x", " x", " 1 C 6 12.0 0 0 0", " 2 O 8 16.0 1.2 0 0"});
    EXPECT_EQ(ReadKalderFile(WriteFile("eof.out", text.substr(0, text.size() - 1)), FT_Kalder, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"C1", "O2"}));
  }
  {
    StructureList list;
    EXPECT_EQ(ReadKalderFile(WriteFile("eofskip.out", Lines({kNumbered, " ----"})), FT_Kalder, list), -1);
    EXPECT_EQ(ReadKalderFile("/nonexistent/file.out", FT_Kalder, list), -1);
    EXPECT_TRUE(list.empty());
  }
}
