#include <cmath>
#include <cstdio>

#include "qcout_testutil.h"
#include "core/formats/loader.h"

using namespace qctest;

namespace {
std::string AtomLine(float x, float y, float z, const std::string& symbol)
{
  char buf[96];
  std::snprintf(buf, sizeof buf, "%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0", x, y, z, symbol.c_str());
  return buf;
}

struct Result {
  int rc;
  StructureList list;
  std::string log;
};

Result Read(const std::string& text)
{
  LogCapture log;
  Result r;
  r.rc = ReadMDLMolFile(WriteFile("m.sd", text), FT_MdlMol, r.list);
  r.log = log.text();
  return r;
}

// Title, program and comment lines, the counts line, then `rest`.
std::string Record(const std::string& counts, const std::vector<std::string>& rest, const char* eol = "\n")
{
  std::vector<std::string> lines = {"t", "p", "", counts};
  lines.insert(lines.end(), rest.begin(), rest.end());
  return Lines(lines, eol);
}
} // namespace

TEST(MdlReader, BenzeneBondsFromGeometryFirstRecordOnly)
{
  // The bond block says nothing useful: bonds come from the geometry alone.
  std::vector<std::string> rows;
  for (int ring = 0; ring < 2; ++ring)
    for (int i = 0; i < 6; ++i) {
      const double a = (60.0 * i + 30.0) * M_PI / 180.0, r = ring == 0 ? 1.397 : 2.484;
      rows.push_back(AtomLine(static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)), 0.0f, ring ? "H" : "C"));
    }
  rows.insert(rows.end(), {"  1  2  1  0  0  0  0", "M  END", "$$$$", "second", "garbage", "", "  1"});
  Result r = Read(Record(" 12  1  0  0  0  0  0  0  0  0999 V2000", rows));
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.list.size(), 1u);
  const vl::Molecule& m = *r.list[0];
  EXPECT_EQ(NameList(m), "C1,C2,C3,C4,C5,C6,H7,H8,H9,H10,H11,H12");
  EXPECT_EQ(m.bonds(), 12);
  EXPECT_EQ(m.atom(1)->coordinates(), vl::fvec3(0.0f, 1.397f, 0.0f));
  EXPECT_EQ(r.log, "");
  EXPECT_TRUE(m.moleculeName().empty());
}

TEST(MdlReader, CountsFieldAndAtomBlockEnds)
{
  const std::vector<std::string> water = {AtomLine(0, 0, 0, "O"), AtomLine(0, 0.96f, 0, "H"),
                                          AtomLine(0.93f, -0.24f, 0, "H"), "M  END"};
  const std::string bond = "  1  2  1  0  0  0  0";
  const struct {
    const char* what;
    std::string text;
    int rc, atoms;
    std::string log;
  } cases[] = {
    {"V2000", Record("  3  2  0  0  0  0  0  0  0  0999 V2000", water), 0, 3, ""},
    {"stops at the count", Record("  2  1  0  0  0  0  0  0  0  0999 V2000", water), 0, 2, ""},
    {"bare count", Record("3", water), 0, 3, ""},
    {"only three columns: 123", Record("1234", water), 0, 3, ""},
    {"count in columns 4-6", Record("     3  0", water), -1, 0, ""},
    {"empty counts line", Record("", water), -1, 0, ""},
    {"zero", Record("  0  0", water), -1, 0, ""},
    {"negative", Record(" -3", water), -1, 0, ""},
    {"not a number", Record("abc", water), -1, 0, ""},
    {"no counts line", Lines({"t", "p", ""}), -1, 0, ""},
    // Too large a count: bond lines are ignored lines, M  END stops.
    {"M  END", Record("  9  1", {water[0], water[1], bond, "M  END", AtomLine(5, 5, 5, "C")}), 0, 2,
     "Line '" + bond + "' ignored!\n"},
    {"blank line with CR", Record("  9", {water[0], water[1], "", water[2]}, "\r\n"), 0, 2, ""},
    {"end of file", Record("  9", {water[0], water[1]}), 0, 2, ""},
    {"nothing accepted", Record("  2", {bond, "M  END"}), -1, 0, "Line '" + bond + "' ignored!\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = Read(c.text);
    EXPECT_EQ(r.rc, c.rc);
    ASSERT_EQ(r.list.size(), c.rc == 0 ? 1u : 0u);
    if (c.rc == 0)
      EXPECT_EQ(r.list[0]->atoms(), c.atoms);
    EXPECT_EQ(r.log, c.log);
  }
  StructureList none;
  EXPECT_EQ(ReadMDLMolFile(testing::TempDir() + "missing.mol", FT_MdlMol, none), -1);
}

TEST(MdlReader, SymbolsDummiesAndIgnoredLines)
{
  const std::string ph = AtomLine(-1, 0, 0, "Ph");
  Result r = Read(Record("  5  0  0  0  0  0  0  0  0  0999 V2000",
                         {AtomLine(0, 0, 0, "C"), AtomLine(1.77f, 0, 0, "CL"), AtomLine(0, 1.77f, 0, "cl"),
                          AtomLine(0, 0, 0.8f, "X"), ph, "  1  2  1  0", AtomLine(0, -1.77f, 0, "Cl")}));
  ASSERT_EQ(r.rc, 0);
  const vl::Molecule& m = *r.list[0];
  EXPECT_EQ(NameList(m), "C1,Cl2,Cl3,X4,Cl5");
  EXPECT_EQ(SymbolList(m), "C,Cl,Cl,?,Cl");
  EXPECT_EQ(m.atom(3)->adjacentAtomCount(), 0); // the dummy is never bonded
  EXPECT_EQ(m.bonds(), 3);
  EXPECT_EQ(r.log, "Line '" + ph + "' ignored!\nLine '  1  2  1  0' ignored!\n");
}

TEST(BundledExamples, LoadAsTheViewerWould)
{
  const std::string dir = std::string(ORBISK_TEST_DATA) + "/../../examples/";
  const struct {
    const char* file;
    int code;
    size_t structures;
    int atoms, bonds;
  } cases[] = {{"benzene.xyz", FT_Xyz, 1, 12, 12}, {"water-vibration.trj", FT_Xyz, 10, 3, 2}, {"ethanol.mol", FT_MdlMol, 1, 9, 8}};
  for (const auto& c : cases) {
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
