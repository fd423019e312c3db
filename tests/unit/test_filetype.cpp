#include <cstring>

#include "qcout_testutil.h"

using namespace qctest;

TEST(FileType, NamesAndContents)
{
  const std::string center = "Center     Atomic      Atomic             Coordinates (Angstroms)";
  const std::string number = "Number     Number       Type             X           Y           Z";
  const std::string wfn = "GAUSSIAN  12 MOL ORBITALS  40 PRIMITIVES   3 NUCLEI";
  const std::string v3000 = "  0  0  0     0  0            999 V3000";
  const std::vector<std::string> water = {"3", "water", "O 0.0 0.0 0.0", "H 0.757 0.586 0.0", "H -0.757 0.586 0.0"};
  const std::vector<std::string> mol = {"benzene", "  program", "", " 12 12  0  0  0  0  0  0  0  0999 V2000",
                                        "    0.0000    0.0000    0.0000 C   0  0"};
  const struct {
    const char* name;
    std::vector<std::string> lines;
    int type;
  } cases[] = {
    // XYZ: a count, a comment and an atom line, or an atom line first.
    {"water.xyz", water, FT_Xyz},
    {"water.trj", water, FT_Xyz},
    {"water.txt", water, FT_Unknown},
    {"a.xyz", {"  12 atoms", "c", "cl 0 0 0"}, FT_Xyz},
    {"a.xyz", {"o 0.0 0.0 0.0"}, FT_XyzNoHeader},
    {"a.xyz", {"Co complex"}, FT_XyzNoHeader},
    {"a.xyz", {"Cobalt complex"}, FT_Unknown},
    {"a.xyz", {"99999999999", "c", "O 0 0 0"}, FT_Unknown}, // no int: no count, and no symbol either
    {"a.xyz", {"0", "c", "O 0 0 0"}, FT_Unknown},
    {"a.xyz", {"-2", "c", "O 0 0 0"}, FT_Unknown},
    {"a.xyz", {"3", "c", "Q 0 0 0"}, FT_Unknown},
    {"a.xyz", {"3", "comment only"}, FT_Unknown},
    {"a.xyz", {}, FT_Unknown},
    {"a.xyz", {"8 0.0 0.0 0.0"}, FT_Unknown}, // count 8, then no atom lines
    // Extensions are case-sensitive and never decide alone.
    {"A.XYZ", water, FT_Unknown},
    {"a.MOL", mol, FT_Unknown},
    {"A.XYZ", {center, number}, FT_Gaussian},
    // MDL names need V2000 on the fourth line; V3000 goes to the content scan from line 5.
    {"b.mol", mol, FT_MdlMol},
    {"b.sdf", mol, FT_MdlMol},
    {"b.mdl", mol, FT_MdlMol},
    {"b.sd", mol, FT_MdlMol},
    {"b.mol", {"a", "b", "c"}, FT_Unknown},
    {"b.mol", {"a", "b", "c", v3000, "x", "y"}, FT_Unknown},
    {"b.mol", {"a", "b", "c", v3000, "x", wfn}, FT_Wfn},
    {"b.mol", {"a", "b", "c", "  0  0  0  V3000", center, number}, FT_Gaussian},
    // Content markers, in either spelling; one blank fewer in a run is no marker.
    {"g.log", {"x", center, number}, FT_Gaussian},
    {"g.log",
     {" Center     Atomic     Atomic              Coordinates (Angstroms)",
      " Number     Number      Type              X           Y           Z"},
     FT_Gaussian},
    {"g.log", {"Center     Atomic      Atomic            Coordinates (Angstroms)", number}, FT_Unknown},
    {"g.log", {center}, FT_Unknown},
    // The scan stops at the first signature complete; on one line the list order decides.
    {"p.out", {"program  Priroda", center, number}, FT_Priroda},
    {"p.out", {center, number + " program  Priroda"}, FT_Gaussian},
    {"k.out", {center, number, "Started on", "Quorvane", "PID=1"}, FT_Gaussian},
    {"k.out", {"KALDER started at 10:00", "by Quorvane", "PID=42"}, FT_Kalder},
    {"k.out", {"PID=42", "Started on host", "x", "Quorvane"}, FT_Kalder},
    {"k.out", {"Started on host", "PID=42"}, FT_Unknown},
    {"gms.out", {"  ATOM   CHARGE       X              Y              Z", " COORDINATES OF ALL ATOMS ARE (ANGS)"}, FT_Gamess},
    {"gms.out",
     {" ATOM      ATOMIC                      COORDINATES (BOHR)",
      "           CHARGE         X                   Y                   Z"},
     FT_Gamess},
    {"c4.log", {"  * CFOUR Coupled-Cluster techniques for Computational Chemistry *  "}, FT_Cfour},
    // WFN: the second line only.
    {"h2o.wfn", {"title", wfn}, FT_Wfn},
    {"h2o.wfn", {"title", "x", wfn}, FT_Unknown},
    {"h2o.wfn", {wfn}, FT_Unknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + (c.lines.empty() ? "" : c.lines.back()));
    EXPECT_EQ(CheckFileType(WriteFile(c.name, Lines(c.lines))), c.type);
  }
  EXPECT_EQ(CheckFileType(WriteFile("crlf.xyz", Lines(water, "\r\n"))), FT_Xyz);
  EXPECT_EQ(CheckFileType(testing::TempDir() + "does-not-exist.xyz"), FT_Unknown);
  EXPECT_EQ(CheckFileType(testing::TempDir()), FT_Unknown); // a directory
}

TEST(FileType, TextHelpers)
{
  EXPECT_TRUE(ends_with("water.xyz", ".xyz"));
  EXPECT_TRUE(ends_with("water.xyz", ""));
  EXPECT_TRUE(ends_with(".xyz", ".xyz"));
  EXPECT_FALSE(ends_with("xyz", ".xyz"));
  EXPECT_FALSE(ends_with("water.XYZ", ".xyz"));

  EXPECT_EQ(trim("  a b  "), "a b");
  EXPECT_EQ(trim("    "), "    ");
  EXPECT_EQ(trim("\ta\t"), "\ta\t"); // blanks only
  EXPECT_EQ(trim(" x"), "x");

  char buf[8];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(strlcpy(buf, "abc", 0), 3u);
  EXPECT_EQ(buf[0], '#'); // size 0 writes nothing
  EXPECT_EQ(strlcpy(buf, "abcdef", 4), 6u);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(strlcpy(buf, "abc", 1), 3u);
  EXPECT_STREQ(buf, "");
}
