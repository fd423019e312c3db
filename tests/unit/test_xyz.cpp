#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::vector<std::string> kWater = {"3", "water", "O 0.000 0.000 0.117", "H 0.000 0.757 -0.469",
                                         "H 0.000 -0.757 -0.469"};

std::vector<std::string> Frames(int n)
{
  std::vector<std::string> lines;
  for (int f = 0; f < n; ++f) {
    const std::string z = std::to_string(0.1 * f);
    lines.insert(lines.end(), {"3", "frame " + std::to_string(f + 1), "O 0.0 0.0 " + z, "H 0.0 0.757 -0.469",
                               "H 0.0 -0.757 -0.469"});
  }
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

TEST(XyzReader, WaterWithHeader)
{
  Result r = Read("water.xyz", Lines(kWater));
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  const vl::Molecule& m = *r.list[0];
  EXPECT_EQ(Names(m), (std::vector<std::string>{"O1", "H2", "H3"}));
  EXPECT_EQ(Types(m), (std::vector<vl::EAtomType>{vl::AT_Oxygen, vl::AT_Hydrogen, vl::AT_Hydrogen}));
  EXPECT_EQ(m.atom(1)->coordinates(), vl::fvec3(0.0f, 0.757f, -0.469f));
  EXPECT_EQ(m.bonds(), 2);
  EXPECT_TRUE(m.moleculeName().empty()); // the comment does not name it
  EXPECT_EQ(r.log, "");
  // Finished: radii and colours set, adjacency computed.
  EXPECT_EQ(m.atom(0)->adjacentAtomCount(), 2);
  EXPECT_EQ(m.atom(0)->color(), vl::atomInfo(vl::AT_Oxygen).cpkColor());
}

TEST(XyzReader, TrajectoryFramesInOrderWhateverTheExtension)
{
  for (const char* name : {"vib.trj", "vib.xyz"}) {
    SCOPED_TRACE(name);
    Result r = Read(name, Lines(Frames(10)));
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.list.size(), 10u);
    for (int f = 0; f < 10; ++f) {
      EXPECT_FLOAT_EQ(r.list[f]->atom(0)->coordinates().z, 0.1f * f);
      EXPECT_EQ(Names(*r.list[f]), (std::vector<std::string>{"O1", "H2", "H3"})); // index restarts per frame
    }
  }
}

TEST(XyzReader, LinesAndLayoutsThatReadTheSame)
{
  // CR-LF line ends, extra columns, a count with a trailing word, mixed-case
  // symbols, trailing blank lines: all give the same water.
  const std::vector<std::string> variants = {
    Lines(kWater, "\r\n"),
    Lines({" 3 atoms", "c", "o 0.000 0.000 0.117 -0.8 1e-3", "h 0.000 0.757 -0.469 0.4", "H 0.000 -0.757 -0.469"}),
    Lines(kWater) + "\n   \n\t\n",
    Lines(kWater, "\r\n") + "\r\n",
    // no line break after the last line
    "3\nwater\nO 0.000 0.000 0.117\nH 0.000 0.757 -0.469\nH 0.000 -0.757 -0.469",
  };
  for (size_t k = 0; k < variants.size(); ++k) {
    SCOPED_TRACE(k);
    Result r = Read("w.xyz", variants[k]);
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_EQ(Names(*r.list[0]), (std::vector<std::string>{"O1", "H2", "H3"}));
    EXPECT_EQ(r.list[0]->atom(2)->coordinates(), vl::fvec3(0.0f, -0.757f, -0.469f));
    EXPECT_EQ(r.log, "");
  }

  Result cl = Read("cl.xyz", Lines({"4", "", "cl 0 0 0", "CL 3 0 0", "Cl 6 0 0", "cL 9 0 0"}));
  EXPECT_EQ(Names(*cl.list[0]), (std::vector<std::string>{"Cl1", "Cl2", "Cl3", "Cl4"}));
  EXPECT_EQ(Types(*cl.list[0])[3], vl::AT_Chlorine);
}

TEST(XyzReader, IgnoredLinesAreLoggedAndNotCounted)
{
  Result r = Read("ign.xyz", Lines({"2", "c", "O 0 0 0", "8 0.0 0.0 1.0", "", "Xx 1 1 1", "H 0 0 0.96"}));
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.list[0]->atoms(), 2);
  EXPECT_EQ(Names(*r.list[0]), (std::vector<std::string>{"O1", "H2"}));
  EXPECT_EQ(r.log, "Line '8 0.0 0.0 1.0' ignored!\nLine '' ignored!\nLine 'Xx 1 1 1' ignored!\n");

  // The line goes into the message verbatim, format characters included.
  Result pct = Read("pct.xyz", Lines({"1", "c", "%s 100% %n", "N 0 0 0"}));
  EXPECT_EQ(pct.log, "Line '%s 100% %n' ignored!\n");

  // The logged line is the whole line, carriage return included.
  Result crlf = Read("ign.xyz", "1\r\nc\r\n?? 1 2 3\r\nN 0 0 0\r\n");
  EXPECT_EQ(crlf.log, "Line '?? 1 2 3\r' ignored!\n");

  // An accepted symbol without numbers still makes an atom (at the origin).
  Result bare = Read("bare.xyz", Lines({"1", "c", "He"}));
  ASSERT_EQ(bare.rc, 0);
  EXPECT_EQ(bare.list[0]->atom(0)->coordinates(), vl::fvec3(0, 0, 0));
}

TEST(XyzReader, ShortFrameSwallowsTheNextHeader)
{
  // Frame 1 announces 4 atoms but has 3: it takes the next count and comment
  // as ignored lines and the first atom of frame 2; the following atom line
  // then stands where a count is expected.
  Result r = Read("short.trj", Lines({"4", "f1", "O 0 0 0", "H 0 0 1", "H 0 1 0", "3", "f2", "O 5 5 5", "H 5 5 6", "H 5 6 5"}));
  EXPECT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  EXPECT_EQ(r.list[0]->atoms(), 4);
  EXPECT_EQ(r.log, "Line '3' ignored!\nLine 'f2' ignored!\nLine 'H 5 5 6' is invalid\nNumber of atoms is expected here!\n");
}

TEST(XyzReader, EveryReturnValue)
{
  std::vector<std::string> lastShort = Frames(3);
  lastShort.pop_back();
  Result r2 = Read("t.xyz", Lines(lastShort));
  EXPECT_EQ(r2.rc, -2);
  EXPECT_EQ(r2.list.size(), 2u); // frames before the incomplete one stay

  Result r3 = Read("t.xyz", Lines({"3", "c", "O 0 0 0", "H 0 0 1", "H 0 1 0", "3"}));
  EXPECT_EQ(r3.rc, -3);
  EXPECT_EQ(r3.list.size(), 1u);

  Result r4 = Read("t.xyz", Lines({"0", "c", "O 0 0 0"}));
  EXPECT_EQ(r4.rc, -4);
  EXPECT_TRUE(r4.list.empty());
  Result r4b = Read("t.xyz", Lines(kWater) + Lines({"-2", "c"}));
  EXPECT_EQ(r4b.rc, -4);
  EXPECT_EQ(r4b.list.size(), 1u);

  EXPECT_EQ(Read("t.xyz", "").rc, -1);
  EXPECT_EQ(Read("t.xyz", "\n\nO 0 0 0\n").rc, -1); // a blank first line ends the reading
  // No accepted atom line at all: nothing appended.
  EXPECT_EQ(Read("t.xyz", "Q 0 0 0\n", FT_XyzNoHeader).rc, -1);
  StructureList none;
  EXPECT_EQ(ReadXYZFile(testing::TempDir() + "missing.xyz", FT_Xyz, none), -1);
  EXPECT_EQ(ReadXYZFile(testing::TempDir(), FT_Xyz, none), -1); // a directory reads as empty
  EXPECT_TRUE(none.empty());

  // Structures already in the list are kept; new ones go behind them.
  Result twice = Read("t.xyz", Lines(kWater));
  ASSERT_EQ(ReadXYZFile(WriteFile("t2.xyz", Lines(Frames(2))), FT_Xyz, twice.list), 0);
  EXPECT_EQ(twice.list.size(), 3u);
}

TEST(XyzReader, BlankLineBetweenFramesEndsTheReading)
{
  std::vector<std::string> lines = Frames(3);
  lines.insert(lines.begin() + 10, "");
  Result r = Read("gap.trj", Lines(lines));
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.list.size(), 2u);
  EXPECT_EQ(r.log, "");
}

TEST(XyzReader, CountLinesThatAreNotUsableCounts)
{
  // Not an integer: two messages and nothing more is read; earlier frames stay.
  Result bad = Read("bad.xyz", Lines(kWater) + Lines({"three", "c", "O 0 0 0"}));
  EXPECT_EQ(bad.rc, 0);
  EXPECT_EQ(bad.list.size(), 1u);
  EXPECT_EQ(bad.log, "Line 'three' is invalid\nNumber of atoms is expected here!\n");

  Result huge = Read("huge.xyz", Lines({"99999999999", "c", "O 0 0 0"}));
  EXPECT_EQ(huge.rc, -1);
  EXPECT_TRUE(huge.list.empty());
  EXPECT_EQ(huge.log, "Line '99999999999' is invalid\nNumber of atoms is expected here!\n");

  // The largest int is a valid count: the frame never completes, and nothing
  // is allocated for the announced atoms.
  Result max = Read("max.xyz", Lines({"2147483647", "c", "O 0 0 0", "H 0 0 1"}));
  EXPECT_EQ(max.rc, -2);
  EXPECT_TRUE(max.list.empty());
  Result min = Read("min.xyz", Lines({"-2147483648", "c"}));
  EXPECT_EQ(min.rc, -4);
}

TEST(XyzReader, HeaderlessFile)
{
  const std::string atoms = Lines({"C 0.0 0.0 0.0", "H 0.0 0.0 1.09", "H 1.03 0.0 -0.36", "H -0.51 0.89 -0.36",
                                   "H -0.51 -0.89 -0.36"});
  Result r = Read("ch4.xyz", atoms, FT_XyzNoHeader);
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  EXPECT_EQ(Names(*r.list[0]), (std::vector<std::string>{"C1", "H2", "H3", "H4", "H5"}));
  EXPECT_EQ(r.list[0]->bonds(), 4);

  // Everything is one structure: a count line in the middle is just ignored,
  // and so is a trailing blank line.
  Result two = Read("two.xyz", atoms + Lines({"5", "C 5 5 5", ""}), FT_XyzNoHeader);
  EXPECT_EQ(two.list.size(), 1u);
  EXPECT_EQ(two.list[0]->atoms(), 6);
  EXPECT_EQ(two.log, "Line '5' ignored!\nLine '' ignored!\n");
  // Any code but 9 reads without header.
  EXPECT_EQ(Read("ch4.xyz", atoms, 0).list.size(), 1u);
}

TEST(XyzReader, DetectionAndReadingAgree)
{
  const std::string path = WriteFile("agree.xyz", Lines({"C 0.0 0.0 0.0", "O 0.0 0.0 1.2"}));
  const int code = CheckFileType(path);
  ASSERT_EQ(code, FT_XyzNoHeader);
  LogCapture log;
  StructureList list;
  EXPECT_EQ(ReadXYZFile(path, code, list), 0);
  EXPECT_EQ(list.size(), 1u);
}
