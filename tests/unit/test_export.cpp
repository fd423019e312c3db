// Writing structures for other programs: the writers of the format table and
// ExportStructures (data on standard output, the log on standard error).
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

#include "core/export/export.h"
#include "qcout_testutil.h"

using namespace qctest;

namespace {
std::string Write(int format, const StructureList& list, const std::string& source)
{
  char* data = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&data, &size);
  FindFormat(format)->write(f, list, source);
  std::fclose(f);
  const std::string out(data, size);
  std::free(data);
  return out;
}

StructureList Xyz(const std::string& text) { return ReadText(FT_Xyz, text).list; }
const std::string kTwoFrames = Lines("3|a|O 0.0 0.0 0.1173|H 0.0 0.7572 -0.4692|H 0.0 -0.7572 -0.4692|3|b|"
                                     "O 0.0 0.0 0.12|H 0.0 0.80 -0.47|H 0.0 -0.80 -0.47");

// Atoms on a grid of `columns` x 10 x n places: carbon 1.5 A apart (bonded to each neighbour), or water 3 A apart.
StructureList Grid(int places, bool water, int columns = 10)
{
  std::ostringstream text;
  text << (water ? 3 * places : places) << "\ngrid\n";
  for (int i = 0; i < places; ++i) {
    const double s = water ? 3.0 : 1.5, x = s * (i % columns), y = s * (i / columns % 10), z = s * (i / columns / 10);
    text << (water ? "O " : "C ") << x << " " << y << " " << z << "\n";
    for (int h = -1; water && h < 2; h += 2)
      text << "H " << x << " " << y + 0.757 * h << " " << z + 0.586 << "\n";
  }
  return Xyz(text.str());
}
} // namespace

TEST(Export, XyzAndSdfByteForByteNumbersAsPrintfWritesThem)
{
  StructureList list = Xyz(kTwoFrames);
  ASSERT_EQ(list.size(), 2u);
  list[1]->atom(2)->setAtomType(vl::AT_Unknown); // unknown types are written as X
  EXPECT_EQ(Write(FT_Xyz, list, "dir/w.trj"),
            Lines("3|dir/w.trj 1/2|O 0.000000 0.000000 0.117300 O1|H 0.000000 0.757200 -0.469200 H2|H 0.000000 "
                  "-0.757200 -0.469200 H3|3|dir/w.trj 2/2|O 0.000000 0.000000 0.120000 O1|H 0.000000 0.800000 "
                  "-0.470000 H2|X 0.000000 -0.800000 -0.470000 H3"));
  const std::string zeros = "  0  0  0  0  0  0  0  0  0  0  0  0", z = zeros + "|";
  const std::string bonds = "  1  2  1  0  0  0  0|  1  3  1  0  0  0  0";
  const std::string head = "|  ORBISK||  3  2  0  0  0  0  0  0  0  0999 V2000|    0.0000    0.0000";
  EXPECT_EQ(Write(FT_MdlMol, list, "w.trj"),
            Lines("w.trj 1/2" + head + "    0.1173 O " + z + "    0.0000    0.7572   -0.4692 H " + z +
                  "    0.0000   -0.7572   -0.4692 H " + z + bonds + "|M  END|$$$$|w.trj 2/2" + head + "    0.1200 O " +
                  z + "    0.0000    0.8000   -0.4700 H " + z + "    0.0000   -0.8000   -0.4700 X " + z + bonds +
                  "|M  END|$$$$"));
  EXPECT_EQ(Write(FT_Xyz, {}, "x") + Write(FT_MdlMol, {}, "x"), "");

  // Numbers as printf writes them: exact ties (k/128) and values near rounding edges.
  const float values[] = {0.0078125f, -0.0078125f,    0.5f,     1e-7f,    -1e-7f,   123456.789f,
                          -0.0f,      3.40282347e38f, 0.00005f, 0.00015f, 1.00005f, 2.5e-5f};
  std::string text = std::to_string(std::size(values)) + "\nc\n", xyz, sdf;
  char buf[128];
  for (float v : values)
    text += (std::snprintf(buf, sizeof buf, "He %.9g 0 0\n", static_cast<double>(v)), buf);
  const StructureList numbers = Xyz(text);
  for (int i = 0; i < numbers[0]->atoms(); ++i) {
    const double x = numbers[0]->atom(i)->coordinates().x;
    xyz += (std::snprintf(buf, sizeof buf, "He %.6f 0.000000 0.000000 He%d\n", x, i + 1), buf);
    sdf += (std::snprintf(buf, sizeof buf, "%10.4f", x), buf) + ("    0.0000    0.0000 He  " + Lines(zeros.substr(2)));
  }
  EXPECT_EQ(Write(FT_Xyz, numbers, "n"), "12\nn 1/1\n" + xyz);
  EXPECT_NE(Write(FT_MdlMol, numbers, "n").find(sdf), std::string::npos) << sdf;
}

TEST(Export, EveryWriterRoundTripsThroughDetectionAndItsReader)
{
  const StructureList list = Xyz(kTwoFrames);
  for (const FileFormat* f : FileFormats()) {
    if (!f->write)
      continue;
    SCOPED_TRACE(f->name);
    const Result r = Load(WriteFile("back" + std::string(f->endings.at(0)), Write(f->code, list, "rt")));
    ASSERT_TRUE(r.rc == f->code && !r.list.empty()) << r.rc; // SD files: the first record only
    const StructureList same(list.begin(), list.begin() + static_cast<long>(r.list.size()));
    EXPECT_EQ(Write(FT_Xyz, r.list, "rt"), Write(FT_Xyz, same, "rt")); // symbols, names and coordinates
  }
}

TEST(Export, SdfV3000BeyondNineHundredNinetyNineAtomsOrBonds)
{
  const StructureList list = Grid(1000, false);
  const std::string v3000 = "  0  0  0     0  0            999 V3000", out = Write(FT_MdlMol, list, "grid.xyz");
  const std::string head =
      Lines("grid.xyz 1/1|  ORBISK||" + v3000 + "|M  V30 BEGIN CTAB|M  V30 COUNTS 1000 " +
            std::to_string(list[0]->bonds()) + " 0 0 0|M  V30 BEGIN ATOM|M  V30 1 C 0.0000 0.0000 0.0000 0");
  const std::string middle =
      Lines("|M  V30 1000 C 13.5000 13.5000 13.5000 0|M  V30 END ATOM|M  V30 BEGIN BOND|M  V30 1 1 1 2");
  const std::string tail = Lines("M  V30 END BOND|M  V30 END CTAB|M  END|$$$$");
  EXPECT_EQ(out.substr(0, head.size()), head);
  EXPECT_NE(out.find(middle), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  for (size_t b = 0, e; (e = out.find('\n', b)) != std::string::npos; b = e + 1)
    ASSERT_LE(e - b, 80u) << out.substr(b, e - b); // no continuation lines needed
  // 999 atoms still fit the V2000 counts line; 1000 bonds (a ladder of 668 atoms) do not.
  const auto counts = [](const StructureList& l) { return Write(FT_MdlMol, l, "g").substr(16, 39); };
  EXPECT_EQ(counts(Grid(333, true)), "999666  0  0  0  0  0  0  0  0999 V2000");
  const StructureList ladder = Grid(668, false, 334);
  ASSERT_EQ(ladder[0]->bonds(), 1000);
  EXPECT_EQ(counts(ladder), v3000);
}

TEST(Export, SdfReadBackByOpenBabel)
{
  if (std::system("obabel -H >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "obabel is not installed: the Open Babel cross-check is skipped";
  StructureList list = Xyz(kTwoFrames), big = Grid(400, true); // 1200 atoms: V3000
  list.insert(list.end(), big.begin(), big.end());
  const std::string sdf = WriteFile("babel.sdf", Write(FT_MdlMol, list, "babel")), xyz = sdf + ".xyz";
  ASSERT_EQ(std::system(("obabel -isdf '" + sdf + "' -oxyz -O '" + xyz + "' >/dev/null 2>&1").c_str()), 0);
  const StructureList back = ReadText(FT_Xyz, "", -1, xyz).list;
  ASSERT_EQ(Atoms(back, true), Atoms(list, true));
  for (size_t s = 0; s < list.size(); ++s)
    for (int i = 0; i < list[s]->atoms(); ++i)
      EXPECT_LT((back[s]->atom(i)->coordinates() - list[s]->atom(i)->coordinates()).length(), 1e-4f);
}

TEST(Export, ExportStructuresStatusAndStreams)
{
  const std::string path = WriteFile("exp.trj", kTwoFrames), missing = testing::TempDir() + "no-such.xyz";
  // A WFN file whose second section breaks off: a reader error after one structure.
  const std::string he = "  HE" + std::string(20, ' ') + "  0.00000000  0.00000000  0.00000000  CHARGE =  2.0";
  const std::string header = "GAUSSIAN      1 MOL ORBITALS     1 PRIMITIVES        1 NUCLEI";
  const std::string wfn = WriteFile("broken.wfn", Lines("helium|" + header + "|" + he + "|CENTRE ASSIGNMENTS|" +
                                                        header + "|"));
  const std::string unknown = WriteFile("plain.txt", "nothing to see\n"), dir = testing::TempDir();
  // A named pipe nobody writes to: opening it for reading would wait forever.
  const std::string fifo = WriteFile("fifo", "");
  ASSERT_TRUE(std::remove(fifo.c_str()) == 0 && ::mkfifo(fifo.c_str(), 0600) == 0);
  const std::string two = "File type = 9 \nNew molecule:  - 3 atoms\nNew molecule:  - 3 atoms\n";
  const std::string bohr = "Found Cartesian coordinates (Bohr)!\n";
  const struct { std::string file, format; int status; std::string out, err; } cases[] = {
      // clang-format off
      {path, "xyz", 0, Write(FT_Xyz, Xyz(kTwoFrames), path), two},
      {path, "sdf", 0, Write(FT_MdlMol, Xyz(kTwoFrames), path), two},
      // The structures read before a reader error are still written; the status says it was incomplete.
      {wfn, "xyz", 1, Lines("1|" + wfn + " 1/1|He 0.000000 0.000000 0.000000 HE1"), "File type = 8 \n" + bohr + bohr +
       "ERROR: basic_string::substr: __pos (which is 2) > this->size() (which is 0)\nNew molecule:  - 1 atoms\n"},
      {missing, "xyz", 1, "", "Cannot open file '" + missing + "'\n"},
      {dir, "sdf", 1, "", "Cannot open file '" + dir + "': it is a directory, not a file\n"},
      {fifo, "xyz", 1, "", "Cannot open file '" + fifo + "': it is not a regular file (a pipe or a device)\n"},
      {unknown, "xyz", 1, "", "File type = 0 \nNo molecules could be found!\n"},
      {path, "pdb", 1, "", "Unknown export format 'pdb': use xyz or sdf or modes or table or cjson or cube\n"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.format);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ExportStructures(c.file, c.format), c.status);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
  }
  std::remove(fifo.c_str());
}
