#include <cstdio>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/export/export.h"
#include "qcout_testutil.h"

using namespace qctest;

namespace {
std::string ReadAll(std::FILE* f)
{
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out.append(buf, n);
  return out;
}

std::string Capture(void (*write)(std::FILE*, const StructureList&, const std::string&), const StructureList& list,
                    const std::string& source)
{
  std::FILE* f = std::tmpfile();
  write(f, list, source);
  std::rewind(f);
  std::string out = ReadAll(f);
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

// Atoms on a grid of `columns` x 10 x n places: carbon 1.5 A apart (bonded
// to each neighbour), or water 3 A apart (two bonds per three atoms).
StructureList Grid(int places, bool water, int columns = 10)
{
  std::string text = std::to_string(water ? 3 * places : places) + "\ngrid\n";
  const double step = water ? 3.0 : 1.5;
  for (int i = 0; i < places; ++i) {
    const double x = step * (i % columns), y = step * (i / columns % 10), z = step * (i / columns / 10);
    const auto at = [&](const char* s, double dy, double dz) {
      text += std::string(s) + " " + std::to_string(x) + " " + std::to_string(y + dy) + " " + std::to_string(z + dz) + "\n";
    };
    at(water ? "O" : "C", 0, 0);
    if (water) {
      at("H", 0.757, 0.586);
      at("H", -0.757, 0.586);
    }
  }
  return ReadXyzText(text);
}
} // namespace

TEST(Export, XyzFramesWithCountCommentSymbolsAndNames)
{
  StructureList list = ReadXyzText(kTwoFrames);
  ASSERT_EQ(list.size(), 2u);
  list[1]->atom(2)->setAtomType(vl::AT_Unknown); // unknown types are written as X
  EXPECT_EQ(Capture(WriteXyz, list, "dir/w.trj"),
            Lines({"3", "dir/w.trj 1/2", "O 0.000000 0.000000 0.117300 O1", "H 0.000000 0.757200 -0.469200 H2",
                   "H 0.000000 -0.757200 -0.469200 H3", "3", "dir/w.trj 2/2", "O 0.000000 0.000000 0.120000 O1",
                   "H 0.000000 0.800000 -0.470000 H2", "X 0.000000 -0.800000 -0.470000 H3"}));
  EXPECT_EQ(Capture(WriteXyz, {}, "x"), "");
}

TEST(Export, NumbersAsPrintfWritesThem)
{
  // Exact ties (k/128) and values near rounding edges.
  const float values[] = {0.0078125f, -0.0078125f, 0.5f,     1e-7f,    -1e-7f,   123456.789f,
                          -0.0f,      3.40282347e38f, 0.00005f, 0.00015f, 1.00005f, 2.5e-5f};
  std::string text = std::to_string(std::size(values)) + "\nc\n";
  char buf[128];
  for (float v : values) {
    std::snprintf(buf, sizeof buf, "He %.9g 0 0\n", static_cast<double>(v));
    text += buf;
  }
  StructureList list = ReadXyzText(text);
  ASSERT_EQ(list.size(), 1u);
  const std::vector<std::string> xyz = SplitLines(Capture(WriteXyz, list, "n"));
  const std::vector<std::string> sdf = SplitLines(Capture(WriteSdf, list, "n"));
  for (size_t i = 0; i < std::size(values); ++i) {
    const double x = list[0]->atom(static_cast<int>(i))->coordinates().x;
    std::snprintf(buf, sizeof buf, "He %.6f 0.000000 0.000000 He%zu", x, i + 1);
    EXPECT_EQ(xyz[i + 2], buf);
    std::snprintf(buf, sizeof buf, "%10.4f", x);
    EXPECT_EQ(sdf[i + 4].substr(0, std::strlen(buf)), buf);
  }
}

TEST(Export, SdfV2000Records)
{
  const std::string out = Capture(WriteSdf, ReadXyzText(kTwoFrames), "w.trj");
  const std::vector<std::string> lines = SplitLines(out);
  ASSERT_EQ(lines.size(), 2u * 11u);
  const std::vector<std::string> first(lines.begin(), lines.begin() + 12);
  EXPECT_EQ(first, (std::vector<std::string>{
                       "w.trj 1/2", "  ORBISK", "", "  3  2  0  0  0  0  0  0  0  0999 V2000",
                       "    0.0000    0.0000    0.1173 O   0  0  0  0  0  0  0  0  0  0  0  0",
                       "    0.0000    0.7572   -0.4692 H   0  0  0  0  0  0  0  0  0  0  0  0",
                       "    0.0000   -0.7572   -0.4692 H   0  0  0  0  0  0  0  0  0  0  0  0",
                       "  1  2  1  0  0  0  0", "  1  3  1  0  0  0  0", "M  END", "$$$$", "w.trj 2/2"}));
  // Our own reader takes the first record back.
  LogCapture log;
  StructureList back;
  ASSERT_EQ(ReadMDLMolFile(WriteFile("back.sdf", out), FT_MdlMol, back), 0);
  EXPECT_EQ(NameList(*back[0]), "O1,H2,H3");
}

TEST(Export, SdfV3000BeyondNineHundredNinetyNineAtomsOrBonds)
{
  StructureList list = Grid(1000, false);
  ASSERT_EQ(list.size(), 1u);
  const std::vector<std::string> lines = SplitLines(Capture(WriteSdf, list, "grid.xyz"));
  const std::vector<std::string> head(lines.begin() + 3, lines.begin() + 8);
  EXPECT_EQ(head, (std::vector<std::string>{"  0  0  0     0  0            999 V3000", "M  V30 BEGIN CTAB",
                                            "M  V30 COUNTS 1000 " + std::to_string(list[0]->bonds()) + " 0 0 0",
                                            "M  V30 BEGIN ATOM", "M  V30 1 C 0.0000 0.0000 0.0000 0"}));
  EXPECT_EQ(lines[7 + 999], "M  V30 1000 C 13.5000 13.5000 13.5000 0");
  EXPECT_EQ(lines[1007], "M  V30 END ATOM");
  EXPECT_EQ(lines[1008], "M  V30 BEGIN BOND");
  EXPECT_EQ(lines[1009], "M  V30 1 1 1 2");
  const std::vector<std::string> tail(lines.end() - 4, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"M  V30 END BOND", "M  V30 END CTAB", "M  END", "$$$$"}));
  for (const auto& l : lines)
    ASSERT_LE(l.size(), 80u) << l; // no continuation lines needed

  // 999 atoms still fit the V2000 counts line; 1000 bonds (a ladder of 668 atoms) do not.
  EXPECT_EQ(SplitLines(Capture(WriteSdf, Grid(333, true), "g"))[3], "999666  0  0  0  0  0  0  0  0999 V2000");
  StructureList ladder = Grid(668, false, 334);
  ASSERT_EQ(ladder[0]->bonds(), 1000);
  EXPECT_EQ(SplitLines(Capture(WriteSdf, ladder, "g"))[3], "  0  0  0     0  0            999 V3000");
}

TEST(Export, SdfReadBackByOpenBabel)
{
  if (std::system("obabel -H >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "obabel is not installed: the Open Babel cross-check is skipped";
  StructureList list = ReadXyzText(kTwoFrames);
  StructureList big = Grid(400, true); // 1200 atoms: V3000
  list.insert(list.end(), big.begin(), big.end());
  const std::string sdf = WriteFile("babel.sdf", Capture(WriteSdf, list, "babel"));
  std::FILE* p = ::popen(("obabel -isdf '" + sdf + "' -oxyz 2>/dev/null").c_str(), "r");
  ASSERT_NE(p, nullptr);
  const std::string out = ReadAll(p);
  ASSERT_EQ(::pclose(p), 0);

  StructureList back = ReadXyzText(out);
  ASSERT_EQ(back.size(), list.size());
  for (size_t s = 0; s < list.size(); ++s) {
    ASSERT_EQ(back[s]->atoms(), list[s]->atoms());
    for (int i = 0; i < list[s]->atoms(); ++i) {
      EXPECT_EQ(back[s]->atom(i)->atomType(), list[s]->atom(i)->atomType());
      EXPECT_LT((back[s]->atom(i)->coordinates() - list[s]->atom(i)->coordinates()).length(), 1e-4f);
    }
  }
}

TEST(Export, ExportStructuresStatusAndStreams)
{
  const std::string path = WriteFile("exp.trj", kTwoFrames);
  // A WFN file whose second section breaks off: a reader error after one structure.
  std::string nucleus = "  HE";
  nucleus.resize(24, ' ');
  nucleus += "  0.00000000  0.00000000  0.00000000  CHARGE =";
  nucleus.resize(70, ' ');
  nucleus += "  2.0";
  const std::string header = "GAUSSIAN      1 MOL ORBITALS     1 PRIMITIVES        1 NUCLEI";
  const std::string wfn = WriteFile("broken.wfn", Lines({"helium", header, nucleus, "CENTRE ASSIGNMENTS", header, ""}));
  const std::string missing = testing::TempDir() + "no-such.xyz";
  const std::string unknown = WriteFile("plain.txt", "nothing to see\n");
  const std::string dir = testing::TempDir();
  // A named pipe nobody writes to: opening it for reading would wait forever.
  const std::string fifo = testing::TempDir() + "orbisk-fifo-" + std::to_string(getpid());
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  struct Case {
    std::string file, format;
    int status;
    std::string out, err; // "*" : checked below
  } cases[] = {
    // Data on standard output, the log on standard error.
    {path, "xyz", 0, "*", "File type = 9 \nNew molecule:  - 3 atoms\nNew molecule:  - 3 atoms\n"},
    {path, "sdf", 0, "*", "*"},
    // The structures read before a reader error are still written; the status says it was incomplete.
    {wfn, "xyz", 1, Lines({"1", wfn + " 1/1", "He 0.000000 0.000000 0.000000 HE1"}), "*"},
    {missing, "xyz", 1, "", "Cannot open file '" + missing + "'\n"},
    {dir, "sdf", 1, "", "Cannot open file '" + dir + "': it is a directory, not a file\n"},
    {fifo, "xyz", 1, "", "Cannot open file '" + fifo + "': it is not a regular file (a pipe or a device)\n"},
    {unknown, "xyz", 1, "", "File type = 0 \nNo molecules could be found!\n"},
    {path, "pdb", 1, "", "Unknown export format 'pdb': use xyz or sdf\n"},
  };
  std::vector<std::string> outs, errs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.format);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ExportStructures(c.file, c.format), c.status);
    outs.push_back(testing::internal::GetCapturedStdout());
    errs.push_back(testing::internal::GetCapturedStderr());
    if (c.out != "*")
      EXPECT_EQ(outs.back(), c.out);
    if (c.err != "*")
      EXPECT_EQ(errs.back(), c.err);
    EXPECT_EQ(vl::Log::output(), stdout); // restored afterwards
  }
  EXPECT_EQ(outs[0], Capture(WriteXyz, ReadXyzText(kTwoFrames), path));
  EXPECT_EQ(outs[1], Capture(WriteSdf, ReadXyzText(kTwoFrames), path));
  EXPECT_EQ(errs[2].find("File type = 8 \n"), 0u);
  EXPECT_NE(errs[2].find("\nERROR: "), std::string::npos) << errs[2];
  EXPECT_NE(errs[2].find("\nNew molecule:  - 1 atoms\n"), std::string::npos) << errs[2];
}
