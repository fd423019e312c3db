#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "export/export.h"
#include "qcout_testutil.h"

using namespace qctest;

namespace {
std::string Capture(void (*write)(std::FILE*, const StructureList&, const std::string&), const StructureList& list,
                    const std::string& source)
{
  std::FILE* f = std::tmpfile();
  write(f, list, source);
  std::fflush(f);
  std::string out;
  std::rewind(f);
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out.append(buf, n);
  std::fclose(f);
  return out;
}

std::vector<std::string> SplitLines(const std::string& text)
{
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    lines.push_back(l);
  return lines;
}

StructureList ReadXyzText(const std::string& text)
{
  LogCapture log;
  StructureList list;
  ReadXYZFile(WriteFile("export-src.trj", text), FT_Xyz, list);
  return list;
}

const std::string kTwoFrames = Lines({"3", "a", "O 0.0 0.0 0.1173", "H 0.0 0.7572 -0.4692", "H 0.0 -0.7572 -0.4692", "3",
                                      "b", "O 0.0 0.0 0.12", "H 0.0 0.80 -0.47", "H 0.0 -0.80 -0.47"});

// A grid of carbon atoms 1.5 A apart: a structure as large as wanted, with bonds.
StructureList CarbonGrid(int n)
{
  std::string text = std::to_string(n) + "\ngrid\n";
  for (int i = 0; i < n; ++i)
    text += "C " + std::to_string(1.5 * (i % 10)) + " " + std::to_string(1.5 * (i / 10 % 10)) + " " +
            std::to_string(1.5 * (i / 100)) + "\n";
  return ReadXyzText(text);
}

// Water molecules on a 3 A grid: a large structure that Open Babel handles quickly
// (the six-connected carbon grid sends its perception into minutes).
StructureList WaterGrid(int molecules)
{
  std::string text = std::to_string(3 * molecules) + "\nwater grid\n";
  for (int i = 0; i < molecules; ++i) {
    const double x = 3.0 * (i % 10), y = 3.0 * (i / 10 % 10), z = 3.0 * (i / 100);
    text += "O " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
    text += "H " + std::to_string(x) + " " + std::to_string(y + 0.757) + " " + std::to_string(z + 0.586) + "\n";
    text += "H " + std::to_string(x) + " " + std::to_string(y - 0.757) + " " + std::to_string(z + 0.586) + "\n";
  }
  return ReadXyzText(text);
}

bool HaveObabel() { return std::system("obabel -H >/dev/null 2>&1") == 0; }
} // namespace

TEST(Export, XyzFramesWithCountCommentSymbolsAndNames)
{
  StructureList list = ReadXyzText(kTwoFrames);
  ASSERT_EQ(list.size(), 2u);
  // What is written reads back to the same coordinates.
  StructureList back = ReadXyzText(Capture(WriteXyz, list, "w"));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1]->atom(1)->coordinates(), list[1]->atom(1)->coordinates());

  list[1]->atom(2)->setAtomType(vl::AT_Unknown); // unknown types are written as X
  const std::string out = Capture(WriteXyz, list, "dir/w.trj");
  EXPECT_EQ(out, Lines({"3", "dir/w.trj 1/2", "O 0.000000 0.000000 0.117300 O1", "H 0.000000 0.757200 -0.469200 H2",
                        "H 0.000000 -0.757200 -0.469200 H3", "3", "dir/w.trj 2/2", "O 0.000000 0.000000 0.120000 O1",
                        "H 0.000000 0.800000 -0.470000 H2", "X 0.000000 -0.800000 -0.470000 H3"}));
  EXPECT_EQ(Capture(WriteXyz, {}, "x"), "");
}

TEST(Export, NumbersAsPrintfWritesThem)
{
  // Exact ties (k/128) and values near rounding edges.
  const std::vector<float> values = {0.0078125f, -0.0078125f, 0.5f, 1e-7f, -1e-7f, 123456.789f, -0.0f, 3.40282347e38f,
                                     0.00005f, 0.00015f, 1.00005f, 2.5e-5f};
  std::string text = std::to_string(values.size()) + "\nc\n";
  for (float v : values) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "He %.9g 0 0\n", static_cast<double>(v));
    text += buf;
  }
  StructureList list = ReadXyzText(text);
  ASSERT_EQ(list.size(), 1u);
  const std::vector<std::string> xyz = SplitLines(Capture(WriteXyz, list, "n"));
  const std::vector<std::string> sdf = SplitLines(Capture(WriteSdf, list, "n"));
  for (size_t i = 0; i < values.size(); ++i) {
    const double x = list[0]->atom(static_cast<int>(i))->coordinates().x;
    char want[128];
    std::snprintf(want, sizeof want, "He %.6f 0.000000 0.000000 He%zu", x, i + 1);
    EXPECT_EQ(xyz[i + 2], want);
    std::snprintf(want, sizeof want, "%10.4f", x);
    EXPECT_EQ(sdf[i + 4].substr(0, std::strlen(want)), want);
  }
}

TEST(Export, SdfV2000Records)
{
  StructureList list = ReadXyzText(kTwoFrames);
  const std::string out = Capture(WriteSdf, list, "w.trj");
  const std::vector<std::string> lines = SplitLines(out);
  ASSERT_EQ(lines.size(), 2u * 11u);
  EXPECT_EQ(lines[0], "w.trj 1/2");
  EXPECT_EQ(lines[1], "  ORBISK");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "  3  2  0  0  0  0  0  0  0  0999 V2000");
  EXPECT_EQ(lines[4], "    0.0000    0.0000    0.1173 O   0  0  0  0  0  0  0  0  0  0  0  0");
  EXPECT_EQ(lines[5], "    0.0000    0.7572   -0.4692 H   0  0  0  0  0  0  0  0  0  0  0  0");
  EXPECT_EQ(lines[7], "  1  2  1  0  0  0  0");
  EXPECT_EQ(lines[8], "  1  3  1  0  0  0  0");
  EXPECT_EQ(lines[9], "M  END");
  EXPECT_EQ(lines[10], "$$$$");
  EXPECT_EQ(lines[11], "w.trj 2/2");

  // Our own reader takes the first record back.
  LogCapture log;
  StructureList back;
  ASSERT_EQ(ReadMDLMolFile(WriteFile("back.sdf", out), FT_MdlMol, back), 0);
  EXPECT_EQ(Names(*back[0]), (std::vector<std::string>{"O1", "H2", "H3"}));
  EXPECT_EQ(back[0]->bonds(), 2);
}

TEST(Export, SdfV3000BeyondNineHundredNinetyNineAtoms)
{
  StructureList list = CarbonGrid(1000);
  ASSERT_EQ(list.size(), 1u);
  ASSERT_GT(list[0]->bonds(), 999);
  const std::vector<std::string> lines = SplitLines(Capture(WriteSdf, list, "grid.xyz"));
  EXPECT_EQ(lines[3], "  0  0  0     0  0            999 V3000");
  EXPECT_EQ(lines[4], "M  V30 BEGIN CTAB");
  EXPECT_EQ(lines[5], "M  V30 COUNTS 1000 " + std::to_string(list[0]->bonds()) + " 0 0 0");
  EXPECT_EQ(lines[6], "M  V30 BEGIN ATOM");
  EXPECT_EQ(lines[7], "M  V30 1 C 0.0000 0.0000 0.0000 0");
  EXPECT_EQ(lines[7 + 999], "M  V30 1000 C 13.5000 13.5000 13.5000 0");
  EXPECT_EQ(lines[1007], "M  V30 END ATOM");
  EXPECT_EQ(lines[1008], "M  V30 BEGIN BOND");
  EXPECT_EQ(lines[1009], "M  V30 1 1 1 2");
  EXPECT_EQ(lines[lines.size() - 4], "M  V30 END BOND");
  EXPECT_EQ(lines[lines.size() - 3], "M  V30 END CTAB");
  EXPECT_EQ(lines[lines.size() - 2], "M  END");
  EXPECT_EQ(lines[lines.size() - 1], "$$$$");
  for (const auto& l : lines)
    ASSERT_LE(l.size(), 80u) << l; // no continuation lines needed

  // 999 atoms and 666 bonds still fit the V2000 counts line; 999 atoms with
  // more than 999 bonds do not.
  EXPECT_EQ(SplitLines(Capture(WriteSdf, WaterGrid(333), "g"))[3], "999666  0  0  0  0  0  0  0  0999 V2000");
  EXPECT_EQ(SplitLines(Capture(WriteSdf, CarbonGrid(999), "g"))[3], "  0  0  0     0  0            999 V3000");
}

TEST(Export, SdfReadBackByOpenBabel)
{
  if (!HaveObabel())
    GTEST_SKIP() << "obabel is not installed: the Open Babel cross-check is skipped";
  StructureList list = ReadXyzText(kTwoFrames);
  StructureList big = WaterGrid(400); // 1200 atoms: V3000
  list.insert(list.end(), big.begin(), big.end());
  const std::string sdf = WriteFile("babel.sdf", Capture(WriteSdf, list, "babel"));
  std::FILE* p = ::popen(("obabel -isdf '" + sdf + "' -oxyz 2>/dev/null").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
    out.append(buf, n);
  ASSERT_EQ(::pclose(p), 0);

  StructureList back = ReadXyzText(out);
  ASSERT_EQ(back.size(), list.size());
  for (size_t s = 0; s < list.size(); ++s) {
    ASSERT_EQ(back[s]->atoms(), list[s]->atoms());
    for (int i = 0; i < list[s]->atoms(); ++i) {
      EXPECT_EQ(back[s]->atom(i)->atomType(), list[s]->atom(i)->atomType());
      const vl::fvec3 d = back[s]->atom(i)->coordinates() - list[s]->atom(i)->coordinates();
      EXPECT_LT(d.length(), 1e-4f);
    }
  }
}

TEST(Export, ExportStructuresStatusAndStreams)
{
  // Readable structures: data on standard output, the log on standard error.
  const std::string path = WriteFile("exp.trj", kTwoFrames);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(ExportStructures(path, "xyz"), 0);
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.substr(0, 2 + path.size()), "3\n" + path);
  EXPECT_EQ(SplitLines(out).size(), 10u);
  EXPECT_EQ(err, "File type = 9 \nNew molecule:  - 3 atoms\nNew molecule:  - 3 atoms\n");
  EXPECT_EQ(vl::Log::output(), stdout); // restored afterwards

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(ExportStructures(path, "sdf"), 0);
  out = testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(SplitLines(out).size(), 22u);

  // A reader error: the structures read before it are still written, the
  // error is reported once, and the status says the export was incomplete.
  auto nucleus = [](const char* symbol, const char* z, const char* charge) {
    std::string line = "  " + std::string(symbol);
    line.resize(24, ' ');
    line += "  0.00000000  0.00000000";
    line += z;
    line += "  CHARGE =";
    line.resize(70, ' ');
    return line + charge;
  };
  const std::string header = "GAUSSIAN      1 MOL ORBITALS     1 PRIMITIVES        1 NUCLEI";
  const std::string wfn = WriteFile("broken.wfn", Lines({"helium", header, nucleus("HE", "  0.00000000", "  2.0"),
                                                         "CENTRE ASSIGNMENTS", header, ""}));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(ExportStructures(wfn, "xyz"), 1);
  out = testing::internal::GetCapturedStdout();
  err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, Lines({"1", wfn + " 1/1", "He 0.000000 0.000000 0.000000 HE1"})); // WFN names keep the file's label
  EXPECT_EQ(err.find("File type = 8 \n"), 0u);
  EXPECT_NE(err.find("\nERROR: "), std::string::npos) << err;
  EXPECT_NE(err.find("\nNew molecule:  - 1 atoms\n"), std::string::npos) << err;

  struct Case {
    std::string file, format, err;
  };
  const std::string missing = testing::TempDir() + "no-such.xyz";
  const std::string unknown = WriteFile("plain.txt", "nothing to see\n");
  for (const Case& c : {Case{missing, "xyz", "Cannot open file '" + missing + "'\n"},
                        Case{testing::TempDir(), "sdf", "Cannot read '" + testing::TempDir() + "': it is a directory, not a file\n"},
                        Case{unknown, "xyz", "File type = 0 \nNo molecules could be found!\n"},
                        Case{path, "pdb", "Unknown export format 'pdb': use xyz or sdf\n"}}) {
    SCOPED_TRACE(c.file);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ExportStructures(c.file, c.format), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
  }
}
