#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::vector<std::string> kWater = {"3", "water", "O 0.000 0.000 0.117", "H 0.000 0.757 -0.469",
                                         "H 0.000 -0.757 -0.469"};

std::vector<std::string> Frames(int n)
{
  std::vector<std::string> lines;
  for (int f = 0; f < n; ++f)
    lines.insert(lines.end(), {"3", "frame", "O 0.0 0.0 " + std::to_string(0.1 * f), "H 0.0 0.757 -0.469",
                               "H 0.0 -0.757 -0.469"});
  return lines;
}

struct Result {
  int rc;
  StructureList list;
  std::string log;
};

Result Read(const std::string& name, const std::string& text, int ftype = FT_Xyz)
{
  LogCapture log;
  Result r;
  r.rc = ReadXYZFile(WriteFile(name, text), ftype, r.list);
  r.log = log.text();
  return r;
}
} // namespace

TEST(XyzReader, WaterAndTrajectoriesWhateverTheExtension)
{
  Result r = Read("water.xyz", Lines(kWater));
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  const vl::Molecule& m = *r.list[0];
  EXPECT_EQ(NameList(m), "O1,H2,H3");
  EXPECT_EQ(SymbolList(m), "O,H,H");
  EXPECT_EQ(m.atom(1)->coordinates(), vl::fvec3(0.0f, 0.757f, -0.469f));
  EXPECT_TRUE(m.moleculeName().empty()); // the comment does not name it
  EXPECT_EQ(r.log, "");
  // Finished: bonds, adjacency and colours.
  EXPECT_EQ(m.bonds(), 2);
  EXPECT_EQ(m.atom(0)->adjacentAtomCount(), 2);
  EXPECT_EQ(m.atom(0)->color(), vl::atomInfo(vl::AT_Oxygen).cpkColor());

  for (const char* name : {"vib.trj", "vib.xyz"}) {
    r = Read(name, Lines(Frames(10)));
    ASSERT_EQ(r.list.size(), 10u) << name;
    for (int f = 0; f < 10; ++f) {
      EXPECT_FLOAT_EQ(r.list[f]->atom(0)->coordinates().z, 0.1f * f);
      EXPECT_EQ(NameList(*r.list[f]), "O1,H2,H3"); // index restarts per frame
    }
  }
}

TEST(XyzReader, LinesAndLayoutsThatReadTheSame)
{
  // CR-LF line ends, extra columns, a count with a trailing word, lower-case
  // symbols, trailing blank lines, no final line break: all the same water.
  const std::string variants[] = {
    Lines(kWater, "\r\n") + "\r\n",
    Lines({" 3 atoms", "c", "o 0.000 0.000 0.117 -0.8 1e-3", "h 0.000 0.757 -0.469 0.4", "H 0.000 -0.757 -0.469"}),
    Lines(kWater) + "\n   \n\t\n",
    "3\nwater\nO 0.000 0.000 0.117\nH 0.000 0.757 -0.469\nH 0.000 -0.757 -0.469",
  };
  for (const std::string& text : variants) {
    SCOPED_TRACE(text);
    Result r = Read("w.xyz", text);
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_EQ(NameList(*r.list[0]), "O1,H2,H3");
    EXPECT_EQ(r.list[0]->atom(2)->coordinates(), vl::fvec3(0.0f, -0.757f, -0.469f));
    EXPECT_EQ(r.log, "");
  }
  Result cl = Read("cl.xyz", Lines({"4", "", "cl 0 0 0", "CL 3 0 0", "Cl 6 0 0", "cL 9 0 0"}));
  EXPECT_EQ(NameList(*cl.list[0]), "Cl1,Cl2,Cl3,Cl4");
  EXPECT_EQ(SymbolList(*cl.list[0]), "Cl,Cl,Cl,Cl");
  // An accepted symbol without numbers still makes an atom, at the origin.
  EXPECT_EQ(Read("bare.xyz", Lines({"1", "c", "He"})).list[0]->atom(0)->coordinates(), vl::fvec3(0, 0, 0));
}

TEST(XyzReader, ReturnValuesStructuresAndLog)
{
  std::vector<std::string> lastShort = Frames(3);
  lastShort.pop_back();
  std::vector<std::string> gap = Frames(3);
  gap.insert(gap.begin() + 10, "");
  const std::string invalid = "Number of atoms is expected here!\n";
  const std::string ch4 = Lines({"C 0.0 0.0 0.0", "H 0.0 0.0 1.09", "H 1.03 0.0 -0.36", "H -0.51 0.89 -0.36",
                                 "H -0.51 -0.89 -0.36"});
  const struct {
    const char* what;
    std::string text;
    int ftype, rc;
    size_t structures;
    int lastAtoms;
    std::string log;
  } cases[] = {
    // Lines without a symbol are logged verbatim (format characters, CR and all) and not counted.
    {"ignored lines", Lines({"2", "c", "O 0 0 0", "8 0.0 0.0 1.0", "", "Xx 1 1 1", "%s 100% %n", "H 0 0 0.96"}), FT_Xyz,
     0, 1, 2, "Line '8 0.0 0.0 1.0' ignored!\nLine '' ignored!\nLine 'Xx 1 1 1' ignored!\nLine '%s 100% %n' ignored!\n"},
    {"CR kept in the log", "1\r\nc\r\n?? 1 2 3\r\nN 0 0 0\r\n", FT_Xyz, 0, 1, 1, "Line '?? 1 2 3\r' ignored!\n"},
    // A frame one atom short swallows the next count and comment and the
    // first atom of frame 2; the next atom line stands where a count belongs.
    {"short frame", Lines({"4", "f1", "O 0 0 0", "H 0 0 1", "H 0 1 0", "3", "f2", "O 5 5 5", "H 5 5 6", "H 5 6 5"}),
     FT_Xyz, 0, 1, 4, "Line '3' ignored!\nLine 'f2' ignored!\nLine 'H 5 5 6' is invalid\n" + invalid},
    {"count not an integer", Lines(kWater) + Lines({"three", "c", "O 0 0 0"}), FT_Xyz, 0, 1, 3,
     "Line 'three' is invalid\n" + invalid},
    {"count beyond int", Lines({"99999999999", "c", "O 0 0 0"}), FT_Xyz, -1, 0, 0, "Line '99999999999' is invalid\n" + invalid},
    {"blank line between frames", Lines(gap), FT_Xyz, 0, 2, 3, ""},
    {"last frame short", Lines(lastShort), FT_Xyz, -2, 2, 3, ""},
    {"largest int count", Lines({"2147483647", "c", "O 0 0 0", "H 0 0 1"}), FT_Xyz, -2, 0, 0, ""},
    {"no comment line", Lines({"3", "c", "O 0 0 0", "H 0 0 1", "H 0 1 0", "3"}), FT_Xyz, -3, 1, 3, ""},
    {"count 0", Lines({"0", "c", "O 0 0 0"}), FT_Xyz, -4, 0, 0, ""},
    {"negative count later", Lines(kWater) + Lines({"-2", "c"}), FT_Xyz, -4, 1, 3, ""},
    {"smallest int count", Lines({"-2147483648", "c"}), FT_Xyz, -4, 0, 0, ""},
    {"empty", "", FT_Xyz, -1, 0, 0, ""},
    {"blank first line", "\n\nO 0 0 0\n", FT_Xyz, -1, 0, 0, ""},
    // Without header everything is one structure: count lines and blanks are ignored lines.
    {"headerless", ch4 + Lines({"5", "C 5 5 5", ""}), FT_XyzNoHeader, 0, 1, 6, "Line '5' ignored!\nLine '' ignored!\n"},
    {"any code but 9 is headerless", ch4, 0, 0, 1, 5, ""},
    {"headerless, no atom", "Q 0 0 0\n", FT_XyzNoHeader, -1, 0, 0, "Line 'Q 0 0 0' ignored!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = Read("t.xyz", c.text, c.ftype);
    EXPECT_EQ(r.rc, c.rc);
    ASSERT_EQ(r.list.size(), c.structures);
    if (c.structures)
      EXPECT_EQ(r.list.back()->atoms(), c.lastAtoms);
    EXPECT_EQ(r.log, c.log);
  }

  StructureList list;
  EXPECT_EQ(ReadXYZFile(testing::TempDir() + "missing.xyz", FT_Xyz, list), -1);
  EXPECT_EQ(ReadXYZFile(testing::TempDir(), FT_Xyz, list), -1); // a directory reads as empty
  EXPECT_TRUE(list.empty());
  // Structures already in the list are kept; new ones go behind them.
  Result twice = Read("t.xyz", Lines(kWater));
  ASSERT_EQ(ReadXYZFile(WriteFile("t2.xyz", Lines(Frames(2))), FT_Xyz, twice.list), 0);
  EXPECT_EQ(twice.list.size(), 3u);
}
