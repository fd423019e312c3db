#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kMarker = " Z-matrix   Atomic            Coordinates (in bohr)";
const std::string kRule = " " + Repeat("-", 64);
} // namespace

TEST(CfourReader, OptimisationStepsEndAtTheDashedRule)
{
  for (const char* name : {"water_opt.c4", "water_opt_crlf.c4"}) {
    SCOPED_TRACE(name);
    LogCapture log;
    StructureList list;
    ASSERT_EQ(ReadCfourLogFile(Fixture(name), FT_Cfour, list), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(log.text(), Repeat("Found Cartesian coordinates (Bohr)!\n", 2));
    for (const auto& m : list) {
      // Three atoms: the rule under the last row is no phantom atom.
      EXPECT_EQ(Names(*m), (std::vector<std::string>{"O1", "H2", "H3"}));
      EXPECT_EQ(Types(*m), (std::vector<vl::EAtomType>{vl::AT_Oxygen, vl::AT_Hydrogen, vl::AT_Hydrogen}));
      EXPECT_EQ(m->bonds(), 2);
    }
    EXPECT_EQ(list[0]->atom(1)->coordinates().y, Bohr(-1.432f));
    EXPECT_EQ(list[1]->atom(2)->coordinates().z, Bohr(-0.984f));
  }
}

TEST(CfourReader, RowsAndTerminators)
{
  StructureList list;
  const std::string text = Lines({kMarker, "x", "x", " H 1 1.0 0 0", " CL 17 0 0 0", " X 0 0 0 0", " GH H 0 0 0",
                                  " -- text --", "  - - -\r", " Q 8 0 0 0", "", kMarker, "x", "x", " O 8 0 0 0", " ",
                                  "ZZ", kMarker.substr(1), "x", "x", " O 8 0 0 0", "\r"});
  ASSERT_EQ(ReadCfourLogFile(WriteFile("rows.c4", text), FT_Cfour, list), 0);
  ASSERT_EQ(list.size(), 2u);
  // Dashes mixed with text are a row; a rule of dashes and blanks ends the table.
  EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"H1", "CL2", "X3", "GH4", "--5"}));
  EXPECT_EQ(Types(*list[0]), (std::vector<vl::EAtomType>{vl::AT_Hydrogen, vl::AT_Chlorine, vl::AT_Unknown, vl::AT_Unknown,
                                                         vl::AT_Unknown}));
  EXPECT_EQ(list[0]->atom(0)->coordinates().x, static_cast<float>(0.52917721067));
  EXPECT_EQ(list[1]->atoms(), 1); // a lone blank ends it; the unmarked table is skipped
}

TEST(CfourReader, EmptyTablesAndEndOfFile)
{
  LogCapture log;
  StructureList list;
  EXPECT_EQ(ReadCfourLogFile(WriteFile("empty.c4", Lines({kMarker, "x", "x", kRule, " O 8 0 0 0"})), FT_Cfour, list), -1);
  EXPECT_EQ(log.text(), "Found Cartesian coordinates (Bohr)!\n");
  EXPECT_EQ(ReadCfourLogFile(WriteFile("eofskip.c4", Lines({kMarker, "x"})), FT_Cfour, list), -1);
  EXPECT_TRUE(list.empty());
  ASSERT_EQ(ReadCfourLogFile(WriteFile("eof.c4", Lines({kMarker, kMarker, "x", " O 8 0 0 0"})), FT_Cfour, list), 0);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(ReadCfourLogFile("/nonexistent/x.c4", FT_Cfour, list), -1);
}
