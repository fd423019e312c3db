#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kBohr = " ATOM      ATOMIC                      COORDINATES (BOHR)";
const std::string kAngs = " COORDINATES OF ALL ATOMS ARE (ANGS)";
} // namespace

TEST(GamessReader, BohrTableThenAngstromTables)
{
  for (const char* name : {"water_opt.gamout", "water_opt_crlf.gamout"}) {
    SCOPED_TRACE(name);
    LogCapture log;
    StructureList list;
    ASSERT_EQ(ReadGamessFile(Fixture(name), FT_Gamess, list), 0);
    ASSERT_EQ(list.size(), 3u); // one Bohr table and two angstrom tables
    EXPECT_EQ(log.text(), "Found Cartesian coordinates (Bohr)!\n" + Repeat("Found Cartesian coordinates (Angs)!\n", 2));
    for (const auto& m : list) {
      EXPECT_EQ(Names(*m), (std::vector<std::string>{"O1", "H2", "H3"}));
      EXPECT_EQ(Types(*m), (std::vector<vl::EAtomType>{vl::AT_Oxygen, vl::AT_Hydrogen, vl::AT_Hydrogen}));
      EXPECT_EQ(m->bonds(), 2);
    }
    EXPECT_EQ(list[0]->atom(1)->coordinates().x, Bohr(1.8141970000f));
    EXPECT_EQ(list[0]->atom(2)->coordinates().y, Bohr(1.7530310000f));
    EXPECT_EQ(list[2]->atom(1)->coordinates().x, 0.9917355093f);
  }
}

TEST(GamessReader, ChargesUnitsAndOddRows)
{
  StructureList list;
  const std::string text = Lines({kBohr, "  CHARGE X Y Z", " H 1.0 1.0 -1.0 0.5", " CL 17.0 0 0 0", " Q 0.0 0 0 0", " BQ 0.9 0 0 0",
                                  " " + Repeat("-", 60), " LP none 1 2 3", "", kAngs, "  ATOM CHARGE X Y Z", " " + Repeat("-", 60),
                                  " C 6.0 1.0 -1.0 0.5", " ", " x"});
  LogCapture log;
  ASSERT_EQ(ReadGamessFile(WriteFile("odd.gamout", text), FT_Gamess, list), 0);
  ASSERT_EQ(list.size(), 2u);
  const vl::Molecule& bohr = *list[0];
  // A dashed line is a row; a charge that is no number reads as 0.
  EXPECT_EQ(Names(bohr), (std::vector<std::string>{"H1", "CL2", "Q3", "BQ4", Repeat("-", 60) + "5", "LP6"}));
  EXPECT_EQ(Types(bohr), (std::vector<vl::EAtomType>{vl::AT_Hydrogen, vl::AT_Chlorine, vl::AT_Unknown, vl::AT_Unknown,
                                                     vl::AT_Unknown, vl::AT_Unknown}));
  EXPECT_EQ(bohr.atom(0)->coordinates().x, static_cast<float>(0.52917721067));
  EXPECT_EQ(bohr.atom(0)->coordinates().y, static_cast<float>(-0.52917721067));
  EXPECT_EQ(bohr.atom(0)->coordinates().z, Bohr(0.5f));
  EXPECT_EQ(bohr.atom(5)->coordinates().x, 0.0f);
  // A lone blank ends the angstrom table; coordinates stay as read.
  ASSERT_EQ(list[1]->atoms(), 1);
  EXPECT_EQ(list[1]->atom(0)->coordinates().x, 1.0f);
  EXPECT_EQ(list[1]->atom(0)->coordinates().z, 0.5f);
}

TEST(GamessReader, MarkersEmptyTablesAndEndOfFile)
{
  {
    LogCapture log;
    StructureList list;
    // One blank fewer inside the Bohr marker, lower case, or a table that is
    // empty from the start: nothing.
    const std::string text = Lines({" ATOM     ATOMIC                      COORDINATES (BOHR)", "x", " O 8.0 0 0 0", "",
                                    " coordinates of all atoms are (angs)", "x", "x", " O 8.0 0 0 0", "", kAngs, "x", "x", "\r"});
    EXPECT_EQ(ReadGamessFile(WriteFile("none.gamout", text), FT_Gamess, list), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.text(), "Found Cartesian coordinates (Angs)!\n");
  }
  {
    // Markers in skipped lines are not looked at; the file ends inside the table.
    StructureList list;
    const std::string text = Lines({kAngs, kBohr, "x", " O 8.0 0 0 0", " H 1.0 0 0 0.96"});
    ASSERT_EQ(ReadGamessFile(WriteFile("eof.gamout", text), FT_Gamess, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->atom(1)->coordinates().z, 0.96f);
    EXPECT_EQ(ReadGamessFile(WriteFile("eofskip.gamout", Lines({kAngs, "x"})), FT_Gamess, list), -1);
    EXPECT_EQ(ReadGamessFile("/nonexistent/x.gamout", FT_Gamess, list), -1);
    EXPECT_EQ(list.size(), 1u);
  }
}
