#include <cmath>
#include <cstdio>

#include "qcout_testutil.h"
#include "readers/loader.h"

using namespace qctest;

namespace {
std::string AtomLine(float x, float y, float z, const std::string& symbol)
{
  char buf[96];
  std::snprintf(buf, sizeof buf, "%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0", x, y, z, symbol.c_str());
  return buf;
}

// A V2000 record of benzene, with a bond block that says nothing useful
// (the reader must take bonds from the geometry alone).
std::vector<std::string> Benzene(const std::string& title = "benzene")
{
  std::vector<std::string> lines = {title, "  ORBISK   3D", "", " 12  1  0  0  0  0  0  0  0  0999 V2000"};
  for (int ring = 0; ring < 2; ++ring)
    for (int i = 0; i < 6; ++i) {
      const double a = (60.0 * i + 30.0) * M_PI / 180.0, r = ring == 0 ? 1.397 : 2.484;
      lines.push_back(AtomLine(static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)), 0.0f, ring == 0 ? "C" : "H"));
    }
  lines.insert(lines.end(), {"  1  2  1  0  0  0  0", "M  END"});
  return lines;
}

struct Result {
  int rc;
  StructureList list;
  std::string log;
};

Result Read(const std::string& text, const std::string& name = "m.mol")
{
  LogCapture log;
  Result r;
  r.rc = ReadMDLMolFile(WriteFile(name, text), FT_MdlMol, r.list);
  r.log = log.text();
  return r;
}

std::vector<std::string> Header(const std::string& counts) { return {"t", "p", "", counts}; }
} // namespace

TEST(MdlReader, BenzeneAtomsInFileOrderBondsFromGeometry)
{
  Result r = Read(Lines(Benzene()));
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  const vl::Molecule& m = *r.list[0];
  EXPECT_EQ(Names(m), (std::vector<std::string>{"C1", "C2", "C3", "C4", "C5", "C6", "H7", "H8", "H9", "H10", "H11", "H12"}));
  EXPECT_EQ(m.bonds(), 12);
  EXPECT_EQ(m.atom(1)->coordinates(), vl::fvec3(0.0f, 1.397f, 0.0f));
  EXPECT_EQ(r.log, "");
  EXPECT_TRUE(m.moleculeName().empty());
}

TEST(MdlReader, SdFileGivesItsFirstRecordOnly)
{
  std::vector<std::string> lines;
  for (const char* title : {"first", "second", "third"}) {
    std::vector<std::string> rec = Benzene(title);
    lines.insert(lines.end(), rec.begin(), rec.end());
    lines.push_back("$$$$");
  }
  // Records 2 and 3 are not even looked at: make them unreadable.
  lines[Benzene().size() + 4] = "garbage";
  Result r = Read(Lines(lines), "three.sd");
  EXPECT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  EXPECT_EQ(r.list[0]->atoms(), 12);
  EXPECT_EQ(r.log, "");
}

TEST(MdlReader, CountsField)
{
  const std::vector<std::string> atoms = {AtomLine(0, 0, 0, "O"), AtomLine(0, 0.96f, 0, "H"), AtomLine(0.93f, -0.24f, 0, "H")};
  auto withCounts = [&](const std::string& counts) {
    std::vector<std::string> lines = Header(counts);
    lines.insert(lines.end(), atoms.begin(), atoms.end());
    lines.push_back("M  END");
    return Read(Lines(lines));
  };
  EXPECT_EQ(withCounts("  3  2  0  0  0  0  0  0  0  0999 V2000").list[0]->atoms(), 3);
  EXPECT_EQ(withCounts("  2  1  0  0  0  0  0  0  0  0999 V2000").list[0]->atoms(), 2); // stops at the count
  EXPECT_EQ(withCounts("3").list[0]->atoms(), 3);
  EXPECT_EQ(withCounts("  3").list[0]->atoms(), 3);
  // Only three columns: "1234" is 123, more than there are atoms.
  EXPECT_EQ(withCounts("1234").list[0]->atoms(), 3);
  for (const char* counts : {"     3  0", "", "  0  0", " -3", "abc"}) {
    SCOPED_TRACE(counts);
    Result r = withCounts(counts);
    EXPECT_EQ(r.rc, -1);
    EXPECT_TRUE(r.list.empty());
    EXPECT_EQ(r.log, "");
  }
  EXPECT_EQ(Read(Lines({"t", "p", ""})).rc, -1);
  StructureList none;
  EXPECT_EQ(ReadMDLMolFile(testing::TempDir() + "missing.mol", FT_MdlMol, none), -1);
}

TEST(MdlReader, TwelveRightJustified)
{
  std::vector<std::string> lines = Benzene();
  lines[3] = " 12";
  Result r = Read(Lines(lines));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.list[0]->atoms(), 12);
}

TEST(MdlReader, SymbolsDummiesAndIgnoredLines)
{
  std::vector<std::string> lines = Header("  5  0  0  0  0  0  0  0  0  0999 V2000");
  lines.insert(lines.end(), {AtomLine(0, 0, 0, "C"), AtomLine(1.77f, 0, 0, "CL"), AtomLine(0, 1.77f, 0, "cl"),
                             AtomLine(0, 0, 0.8f, "X"), AtomLine(-1, 0, 0, "Ph"), "  1  2  1  0", AtomLine(0, -1.77f, 0, "Cl")});
  Result r = Read(Lines(lines));
  ASSERT_EQ(r.rc, 0);
  const vl::Molecule& m = *r.list[0];
  EXPECT_EQ(Names(m), (std::vector<std::string>{"C1", "Cl2", "Cl3", "X4", "Cl5"}));
  EXPECT_EQ(Types(m), (std::vector<vl::EAtomType>{vl::AT_Carbon, vl::AT_Chlorine, vl::AT_Chlorine, vl::AT_Unknown, vl::AT_Chlorine}));
  EXPECT_EQ(m.atom(3)->adjacentAtomCount(), 0); // the dummy is never bonded
  EXPECT_EQ(m.bonds(), 3);
  EXPECT_EQ(r.log, "Line '" + AtomLine(-1, 0, 0, "Ph") + "' ignored!\nLine '  1  2  1  0' ignored!\n");
}

TEST(MdlReader, AtomBlockEnds)
{
  // Count larger than the atom block: bond lines are ignored, M  END stops.
  std::vector<std::string> lines = Header("  9  1  0  0  0  0  0  0  0  0999 V2000");
  lines.insert(lines.end(), {AtomLine(0, 0, 0, "O"), AtomLine(0, 0, 0.96f, "H"), "  1  2  1  0  0  0  0", "M  END",
                             AtomLine(5, 5, 5, "C")});
  Result r = Read(Lines(lines));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.list[0]->atoms(), 2);
  EXPECT_EQ(r.log, "Line '  1  2  1  0  0  0  0' ignored!\n");

  // A blank line (here with a carriage return) ends the block too.
  lines = Header("  9");
  lines.insert(lines.end(), {AtomLine(0, 0, 0, "O"), AtomLine(0, 0, 0.96f, "H"), "", AtomLine(5, 5, 5, "C")});
  EXPECT_EQ(Read(Lines(lines, "\r\n")).list[0]->atoms(), 2);
  // So does the end of the file.
  lines.resize(6);
  EXPECT_EQ(Read(Lines(lines)).list[0]->atoms(), 2);
  // Nothing accepted: no structure.
  EXPECT_EQ(Read(Lines({"t", "p", "", "  2", "  1  2  1  0", "M  END"})).rc, -1);
}

TEST(BundledExamples, LoadAsTheViewerWould)
{
  const std::string dir = std::string(ORBISK_TEST_DATA) + "/../../examples/";
  struct Case {
    const char* file;
    int code;
    size_t structures;
    int atoms, bonds;
  };
  for (const Case& c : {Case{"benzene.xyz", FT_Xyz, 1, 12, 12}, Case{"water-vibration.trj", FT_Xyz, 10, 3, 2},
                        Case{"ethanol.mol", FT_MdlMol, 1, 9, 8}}) {
    SCOPED_TRACE(c.file);
    LogCapture log;
    StructureList list;
    EXPECT_EQ(LoadStructureFile(dir + c.file, list), c.code);
    ASSERT_EQ(list.size(), c.structures);
    EXPECT_EQ(list.back()->atoms(), c.atoms);
    EXPECT_EQ(list.back()->bonds(), c.bonds);
    EXPECT_EQ(log.text(), "File type = " + std::to_string(c.code) + " \n");
  }
}
