#include <cstring>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
int TypeOf(const std::string& name, const std::vector<std::string>& lines, const char* eol = "\n")
{
  return CheckFileType(WriteFile(name, Lines(lines, eol)));
}

const std::string kGaussCenter = "Center     Atomic      Atomic             Coordinates (Angstroms)";
const std::string kGaussNumber = "Number     Number       Type             X           Y           Z";
const std::string kV2000 = "  1  0  0  0  0  0  0  0  0  0999 V2000";
} // namespace

TEST(FileType, XyzAndTrjByCountHeaderOrFirstAtomLine)
{
  const std::vector<std::string> water = {"3", "water", "O 0.0 0.0 0.0", "H 0.757 0.586 0.0", "H -0.757 0.586 0.0"};
  EXPECT_EQ(TypeOf("water.xyz", water), FT_Xyz);
  EXPECT_EQ(TypeOf("water.trj", water), FT_Xyz);
  EXPECT_EQ(TypeOf("water.txt", water), FT_Unknown);
  EXPECT_EQ(TypeOf("water.xyz", water, "\r\n"), FT_Xyz);
  EXPECT_EQ(TypeOf("a.xyz", {"  12 atoms", "c", "cl 0 0 0"}), FT_Xyz);

  EXPECT_EQ(TypeOf("a.xyz", {"O 0.0 0.0 0.0"}), FT_XyzNoHeader);
  EXPECT_EQ(TypeOf("a.xyz", {"o 0.0 0.0 0.0"}), FT_XyzNoHeader);
  EXPECT_EQ(TypeOf("a.xyz", {"Co complex"}), FT_XyzNoHeader);
  EXPECT_EQ(TypeOf("a.xyz", {"Cobalt complex"}), FT_Unknown);
  // Out of int range: not a count, and not a symbol either.
  EXPECT_EQ(TypeOf("a.xyz", {"99999999999", "c", "O 0 0 0"}), FT_Unknown);

  EXPECT_EQ(TypeOf("a.xyz", {"0", "c", "O 0 0 0"}), FT_Unknown);
  EXPECT_EQ(TypeOf("a.xyz", {"-2", "c", "O 0 0 0"}), FT_Unknown);
  EXPECT_EQ(TypeOf("a.xyz", {"3", "c", "Q 0 0 0"}), FT_Unknown);
  EXPECT_EQ(TypeOf("a.xyz", {"3", "comment only"}), FT_Unknown);
  EXPECT_EQ(TypeOf("a.xyz", {}), FT_Unknown);
  EXPECT_EQ(TypeOf("a.xyz", {"8 0.0 0.0 0.0"}), FT_Unknown); // count 8, then no atom lines
  EXPECT_EQ(CheckFileType(testing::TempDir() + "does-not-exist.xyz"), FT_Unknown);
  EXPECT_EQ(CheckFileType(testing::TempDir()), FT_Unknown); // a directory
}

TEST(FileType, ExtensionsAreCaseSensitiveAndNeverDecideAlone)
{
  // Upper-case names go to the content scan, which finds nothing here.
  EXPECT_EQ(TypeOf("A.XYZ", {"3", "c", "O 0 0 0", "H 1 0 0", "H 0 1 0"}), FT_Unknown);
  EXPECT_EQ(TypeOf("a.MOL", {"m", "p", "", kV2000, "0 0 0 C"}), FT_Unknown);
  // ...and they are still recognised by content.
  EXPECT_EQ(TypeOf("A.XYZ", {kGaussCenter, kGaussNumber}), FT_Gaussian);
}

TEST(FileType, MdlNamesNeedV2000OnTheFourthLine)
{
  const std::vector<std::string> mol = {"benzene", "  program", "", " 12 12  0  0  0  0  0  0  0  0999 V2000",
                                        "    0.0000    0.0000    0.0000 C   0  0"};
  for (const char* name : {"b.mol", "b.sdf", "b.mdl", "b.sd"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(TypeOf(name, mol), FT_MdlMol);
  }
  EXPECT_EQ(TypeOf("b.mol", {"a", "b", "c"}), FT_Unknown);

  // V3000: scanned from line 5, so its second scanned line is line 6.
  const std::string wfnWords = "GAUSSIAN   1 MOL ORBITALS  10 PRIMITIVES  3 NUCLEI";
  EXPECT_EQ(TypeOf("b.mol", {"a", "b", "c", "  0  0  0     0  0            999 V3000", "x", "y"}), FT_Unknown);
  EXPECT_EQ(TypeOf("b.mol", {"a", "b", "c", "  0  0  0     0  0            999 V3000", "x", wfnWords}), FT_Wfn);
  EXPECT_EQ(TypeOf("b.mol", {"a", "b", "c", "  0  0  0  V3000", kGaussCenter, kGaussNumber}), FT_Gaussian);
}

TEST(FileType, ContentMarkersAndSignatureOrder)
{
  // One header line of each Gaussian pair, in either spelling.
  EXPECT_EQ(TypeOf("g.log", {"x", kGaussCenter, kGaussNumber}), FT_Gaussian);
  EXPECT_EQ(TypeOf("g.log", {" Center     Atomic     Atomic              Coordinates (Angstroms)",
                             " Number     Number      Type              X           Y           Z"}),
            FT_Gaussian);
  // One blank fewer in a run is no marker.
  EXPECT_EQ(TypeOf("g.log", {"Center     Atomic      Atomic            Coordinates (Angstroms)", kGaussNumber}),
            FT_Unknown);
  EXPECT_EQ(TypeOf("g.log", {kGaussCenter}), FT_Unknown);

  // Early stop: once Priroda is recognised, a later Gaussian header changes nothing.
  EXPECT_EQ(TypeOf("p.out", {"program  Priroda", kGaussCenter, kGaussNumber}), FT_Priroda);
  // On the same line the list order decides: Gaussian before Priroda.
  EXPECT_EQ(TypeOf("p.out", {kGaussCenter, kGaussNumber + " program  Priroda"}), FT_Gaussian);
  // Gaussian complete first: the scan stops before the KALDER markers.
  EXPECT_EQ(TypeOf("k.out", {kGaussCenter, kGaussNumber, "Started on", "Quorvane", "PID=1"}), FT_Gaussian);

  EXPECT_EQ(TypeOf("k.out", {"KALDER started at 10:00", "by Quorvane", "PID=42"}), FT_Kalder);
  EXPECT_EQ(TypeOf("k.out", {"PID=42", "Started on host", "x", "Quorvane"}), FT_Kalder);
  EXPECT_EQ(TypeOf("k.out", {"Started on host", "PID=42"}), FT_Unknown);

  EXPECT_EQ(TypeOf("gms.out", {"  ATOM   CHARGE       X              Y              Z",
                               " COORDINATES OF ALL ATOMS ARE (ANGS)"}),
            FT_Gamess);
  EXPECT_EQ(TypeOf("gms.out", {" ATOM      ATOMIC                      COORDINATES (BOHR)",
                               "           CHARGE         X                   Y                   Z"}),
            FT_Gamess);
  EXPECT_EQ(TypeOf("c4.log", {"  * CFOUR Coupled-Cluster techniques for Computational Chemistry *  "}), FT_Cfour);

  const std::string wfnWords = "GAUSSIAN  12 MOL ORBITALS  40 PRIMITIVES   3 NUCLEI";
  EXPECT_EQ(TypeOf("h2o.wfn", {"title", wfnWords}), FT_Wfn);
  EXPECT_EQ(TypeOf("h2o.wfn", {"title", "x", wfnWords}), FT_Unknown);
  EXPECT_EQ(TypeOf("h2o.wfn", {wfnWords}), FT_Unknown);
  EXPECT_EQ(TypeOf("empty.out", {}), FT_Unknown);
}

TEST(FileType, TextHelpers)
{
  EXPECT_TRUE(ends_with("water.xyz", ".xyz"));
  EXPECT_TRUE(ends_with("water.xyz", ""));
  EXPECT_TRUE(ends_with(".xyz", ".xyz"));
  EXPECT_FALSE(ends_with("xyz", ".xyz"));
  EXPECT_FALSE(ends_with("water.XYZ", ".xyz"));
  EXPECT_FALSE(ends_with("", ".sd"));

  EXPECT_EQ(trim("  a b  "), "a b");
  EXPECT_EQ(trim("    "), "    ");
  EXPECT_EQ(trim(""), "");
  EXPECT_EQ(trim("\ta\t"), "\ta\t");
  EXPECT_EQ(trim(" x"), "x");

  char buf[8];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(strlcpy(buf, "abcdef", 4), 6u);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(strlcpy(buf, "ab", 4), 2u);
  EXPECT_STREQ(buf, "ab");
  buf[0] = '#';
  EXPECT_EQ(strlcpy(buf, "abc", 0), 3u);
  EXPECT_EQ(buf[0], '#'); // size 0 writes nothing
  EXPECT_EQ(strlcpy(buf, "abc", 1), 3u);
  EXPECT_STREQ(buf, "");
}
