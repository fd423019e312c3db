// The format table and detection: name endings first, then the content scan.
#include <algorithm>
#include <map>
#include <set>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kWater = "3|water|O 0.0 0.0 0.0|H 0.757 0.586 0.0|H -0.757 0.586 0.0";

// One line per marker group (on its line number, if it has one): group `pick` with its alternative `alt`, the
// others with their first; group `drop` left out.
std::string SignatureFile(const FileFormat& f, size_t pick, size_t alt, size_t drop)
{
  std::string text;
  for (size_t g = 0, lines = 0; g < f.signature.size(); ++g) {
    const MarkerGroup& group = f.signature[g];
    while (static_cast<int>(++lines) < group.onLine)
      text += "title\n";
    for (size_t t = 0; t < group.texts.size() && g != drop; ++t)
      if (group.allOnOneLine || t == (g == pick ? alt : 0))
        text += std::string(group.texts[t]) + " ";
    text += "\n";
  }
  return WriteFile("sig.out", text);
}
} // namespace

TEST(FileFormats, EveryEntryIsConsistentDetectedFromAMinimalFileAndRead)
{
  const std::string mol = "benzene|  program|| 12 12  0  0  0  0  0  0  0  0999 V2000|    0.0000    0.0000    0.0000 C";
  const std::string cube = "water|density|    1    0.0 0.0 0.0|    2 0.2 0.0 0.0|    2 0.0 0.2 0.0|    2 0.0 0.0 0.2|"
                           "    8 8.0 0.0 0.0 0.0|1 2 3 4 5 6 7 8";
  const std::map<int, std::string> byName = {{FT_Xyz, kWater}, {FT_MdlMol, mol}, {FT_Cube, cube}};
  const std::string examples = std::string(ORBISK_TEST_DATA) + "/../../examples/";
  const std::map<int, std::string> fixtures = {{FT_Kalder, Fixture("ethanol.kalder")},
                                               {FT_Gaussian, Fixture("water_opt.log")},
                                               {FT_Gamess, Fixture("water_opt.gamout")},
                                               {FT_Cfour, Fixture("water_opt.c4")},
                                               {FT_Wfn, Fixture("water.wfn")},
                                               {FT_Xyz, examples + "water-vibration.trj"},
                                               {FT_MdlMol, examples + "ethanol.mol"},
                                               {FT_Xtb, Fixture("xtb_water_opt.out")},
                                               {FT_Fchk, Fixture("water_opt.fchk")},
                                               {FT_Molden, Fixture("water_opt.molden")},
                                               {FT_Orca, Fixture("orca_water_opt.out")},
                                               {FT_QChem, Fixture("qchem_water_opt.out")},
                                               {FT_Psi4, Fixture("psi4_water_opt.out")},
                                               {FT_NWChem, Fixture("nwchem_water_opt.out")},
                                               {FT_Molpro, Fixture("molpro_water_opt.out")},
                                               {FT_Cube, Fixture("water_small.cube")}};
  std::set<int> codes = {FT_Unknown, FT_XyzNoHeader}; // FT_XyzNoHeader: read by the XYZ entry
  for (const FileFormat* f : FileFormats()) {
    SCOPED_TRACE(f->name);
    EXPECT_TRUE(codes.insert(f->code).second); // unique
    EXPECT_EQ(FindFormat(f->code), f);
    EXPECT_TRUE(f->read || f->code == FT_Priroda);
    EXPECT_TRUE((f->exportName != nullptr) == (f->write != nullptr) && f->endings.empty() == (f->nameCheck == nullptr));
    EXPECT_NE(f->endings.empty(), f->signature.empty()); // found by its name or by its content
    // By content: every spelling of every group completes the signature; every group is needed.
    for (size_t g = 0; g < f->signature.size(); ++g) {
      for (size_t alt = 0; alt < (f->signature[g].allOnOneLine ? 1 : f->signature[g].texts.size()); ++alt) {
        const Detection d = DetectFormat(SignatureFile(*f, g, alt, SIZE_MAX));
        EXPECT_TRUE(d.code == f->code && d.format == f) << g << " " << alt;
      }
      EXPECT_NE(CheckFileType(SignatureFile(*f, 0, 0, g)), f->code) << g;
    }
    // By name: every ending; the same content under the ending in upper case is only scanned.
    for (std::string_view ending : f->endings) {
      ASSERT_TRUE(byName.count(f->code));
      std::string upper(ending);
      std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' ? c - 32 : c; });
      const Detection d = DetectFormat(WriteFile("a" + std::string(ending), Lines(byName.at(f->code))));
      EXPECT_TRUE(d.code == f->code && d.format == f) << ending;
      EXPECT_EQ(CheckFileType(WriteFile("a" + upper, Lines(byName.at(f->code)))), FT_Unknown) << upper;
    }
    if (!f->read)
      continue;
    // A missing file reads nothing; the fixture loads and logs its code; reading it again appends behind.
    EXPECT_EQ(ReadText(f->code, "", -1, "/nonexistent/x.out").rc, -1);
    ASSERT_TRUE(fixtures.count(f->code));
    Result r = Load(fixtures.at(f->code));
    EXPECT_TRUE(r.rc == f->code && r.log.rfind("File type = " + std::to_string(f->code) + " \n", 0) == 0) << r.log;
    const size_t once = r.list.size();
    vl::BufferLog log;
    EXPECT_EQ(f->read(fixtures.at(f->code), f->code, r.list, log), 0);
    EXPECT_TRUE(once > 0 && r.list.size() == 2 * once) << once << " " << r.list.size();
  }
}

TEST(FileType, NamesContentsAndTextHelpers)
{
  const std::string center = "Center     Atomic      Atomic             Coordinates (Angstroms)";
  const std::string number = "Number     Number       Type             X           Y           Z";
  const std::string gaussian = center + "|" + number, wfn = "GAUSSIAN  12 MOL ORBITALS  40 PRIMITIVES   3 NUCLEI";
  const std::string v3000 = "a|b|c|  0  0  0     0  0            999 V3000|x|";
  const struct {
    const char* name;
    std::string lines;
    int type;
  } cases[] = {
      // XYZ: a count, a comment and an atom line, or an atom line first.
      {"a.xyz", "  12 atoms|c|cl 0 0 0", FT_Xyz},
      {"a.xyz", "o 0.0 0.0 0.0", FT_XyzNoHeader},
      {"a.xyz", "Co complex", FT_XyzNoHeader},
      {"a.xyz", "Cobalt complex", FT_Unknown},
      {"a.xyz", "99999999999|c|O 0 0 0", FT_Unknown}, // no int: no count, and no symbol either
      {"a.xyz", "0|c|O 0 0 0", FT_Unknown},
      {"a.xyz", "-2|c|O 0 0 0", FT_Unknown},
      {"a.xyz", "3|c|Q 0 0 0", FT_Unknown},
      {"a.xyz", "3|comment only", FT_Unknown},
      {"a.xyz", "", FT_Unknown},
      {"a.xyz", "8 0.0 0.0 0.0", FT_Unknown}, // count 8, then no atom lines
      {"A.XYZ", gaussian, FT_Gaussian},
      // MDL names need V2000 on the fourth line; V3000 goes to the content scan from line 5.
      {"b.mol", "a|b|c", FT_Unknown},
      {"b.mol", v3000 + "y", FT_Unknown},
      {"b.mol", v3000 + wfn, FT_Wfn},
      {"b.mol", "a|b|c|  0  0  0  V3000|" + gaussian, FT_Gaussian},
      // One blank fewer in a run is no marker.
      {"g.log", "Center     Atomic      Atomic            Coordinates (Angstroms)|" + number, FT_Unknown},
      // The scan stops at the first signature complete; on one line the table order decides.
      {"p.out", "program  Priroda|" + gaussian, FT_Priroda},
      {"p.out", gaussian + " program  Priroda", FT_Gaussian},
      {"k.out", "Started on|Quorvane|" + gaussian + " PID=1", FT_Kalder},
      {"k.out", "PID=42|Started on host|x|Quorvane", FT_Kalder},
      // WFN: the second line only.
      {"h2o.wfn", "title|x|" + wfn, FT_Unknown},
      {"h2o.wfn", wfn, FT_Unknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.lines);
    EXPECT_EQ(CheckFileType(WriteFile(c.name, c.lines.empty() ? "" : Lines(c.lines))), c.type);
  }
  EXPECT_EQ(CheckFileType(WriteFile("crlf.xyz", Lines(kWater, "\r\n"))), FT_Xyz);
  EXPECT_EQ(CheckFileType(testing::TempDir() + "does-not-exist.xyz"), FT_Unknown);
  EXPECT_EQ(CheckFileType(testing::TempDir()), FT_Unknown); // a directory
  EXPECT_TRUE(ends_with("water.xyz", ".xyz") && ends_with("water.xyz", "") && ends_with(".xyz", ".xyz"));
  EXPECT_FALSE(ends_with("xyz", ".xyz") || ends_with("water.XYZ", ".xyz"));
  EXPECT_EQ(trim("  a b  ") + trim(" x") + trim("    ") + trim("\ta\t"), "a bx    \ta\t"); // blanks only
}
