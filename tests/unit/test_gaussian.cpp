#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kInput = "                          Input orientation:";
const std::string kZMatrix = "                         Z-Matrix orientation:";
const std::string kStandard = "                         Standard orientation:";
const std::string kRule69 = " " + Repeat("-", 69);
const std::vector<std::string> kHeader = {kRule69, " Center     Atomic      Atomic             Coordinates (Angstroms)",
                                          " Number     Number       Type             X           Y           Z", kRule69};

std::string Table(const std::string& marker, const std::vector<std::string>& rows, const std::string& end = kRule69)
{
  std::vector<std::string> lines = {marker};
  lines.insert(lines.end(), kHeader.begin(), kHeader.end());
  lines.insert(lines.end(), rows.begin(), rows.end());
  lines.push_back(end);
  return Lines(lines);
}
} // namespace

TEST(GaussianReader, OptimisationLogTakesInputOrientations)
{
  for (const char* name : {"water_opt.log", "water_opt_crlf.log"}) {
    SCOPED_TRACE(name);
    LogCapture log;
    StructureList list;
    ASSERT_EQ(ReadGaussianFile(Fixture(name), FT_Gaussian, list, 0), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(log.text(), Repeat("Found Input or Z-Matrix orientation!\n", 2));
    EXPECT_EQ(Names(*list[1]), (std::vector<std::string>{"O1", "H2", "H3"}));
    EXPECT_EQ(Types(*list[1]), (std::vector<vl::EAtomType>{vl::AT_Oxygen, vl::AT_Hydrogen, vl::AT_Hydrogen}));
    EXPECT_EQ(list[1]->atom(1)->coordinates().y, 0.761534f);
    EXPECT_EQ(list[1]->atom(2)->coordinates().z, -0.481924f);
    EXPECT_EQ(list[1]->bonds(), 2);
  }
}

TEST(GaussianReader, SelectorChoosesTheFamily)
{
  {
    // Z-matrix and input orientations interleave in file order under selector 0.
    LogCapture log;
    StructureList list;
    ASSERT_EQ(ReadGaussianFile(Fixture("ch3cl_zmatrix.log"), FT_Gaussian, list, 0), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"C1", "X2", "Cl3"}));
    EXPECT_EQ(Names(*list[1]), (std::vector<std::string>{"C1", "Cl2"}));
    EXPECT_EQ(list[0]->atom(2)->atomType(), vl::AT_Chlorine);
    EXPECT_EQ(list[0]->atom(1)->atomType(), vl::AT_Unknown);
    EXPECT_EQ(log.text(), Repeat("Found Input or Z-Matrix orientation!\n", 2));
  }
  {
    LogCapture log;
    StructureList list;
    EXPECT_EQ(ReadGaussianFile(Fixture("methane_standard.log"), FT_Gaussian, list, 0), -1);
    EXPECT_EQ(log.text(), "");
    ASSERT_EQ(ReadGaussianFile(Fixture("methane_standard.log"), FT_Gaussian, list, 1), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(log.text(), Repeat("Found Standard orientation!\n", 2));
    EXPECT_EQ(list[1]->atom(1)->coordinates().x, 0.627f);
    EXPECT_EQ(ReadGaussianFile(Fixture("methane_standard.log"), FT_Gaussian, list, 2), -1);
    EXPECT_EQ(list.size(), 2u); // earlier entries untouched
  }
}

TEST(GaussianReader, MarkerNeedsItsLeadingBlanks)
{
  StructureList list;
  const std::string row = "      1          6           0        0.000000    0.000000    0.000000";
  const std::string text = Table(kInput.substr(1), {row}) + Table(kZMatrix.substr(1), {row}) +
                           Table(kStandard.substr(1), {row}) + Table("Input orientation:", {row});
  const std::string path = WriteFile("blanks.log", text);
  EXPECT_EQ(ReadGaussianFile(path, FT_Gaussian, list, 0), -1);
  EXPECT_EQ(ReadGaussianFile(path, FT_Gaussian, list, 1), -1);
  EXPECT_TRUE(list.empty());
  // More blanks, or text around the marker, still match.
  EXPECT_EQ(ReadGaussianFile(WriteFile("more.log", Table("x " + kInput + " y", {row})), FT_Gaussian, list, 0), 0);
  EXPECT_EQ(list.size(), 1u);
}

TEST(GaussianReader, SymbolsAndNamesFromAtomicNumber)
{
  StructureList list;
  const std::string text = Table(kInput, {"     12         17           0    0.0 0.0 0.0", "      3         -1           0    1.0 0.0 0.0",
                                          "      4          0           0    2.0 0.0 0.0", "      5        120           0    3.0 0.0 0.0",
                                          "      6", " " + Repeat("-", 68), "      7          6"});
  ASSERT_EQ(ReadGaussianFile(WriteFile("numbers.log", text), FT_Gaussian, list, 0), 0);
  ASSERT_EQ(list.size(), 1u);
  // A row without an atomic number is a dummy; a short rule is a row whose centre reads 0.
  EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"Cl12", "X3", "X4", "??5", "X6", "X0", "C7"}));
  EXPECT_EQ(list[0]->atom(0)->atomType(), vl::AT_Chlorine);
  EXPECT_EQ(list[0]->atom(3)->atomType(), vl::AT_Unknown);
  EXPECT_EQ(list[0]->atom(6)->coordinates().x, 0.0f);
}

TEST(GaussianReader, TerminatorsEmptyTablesAndEndOfFile)
{
  const std::string row = "      1          8           0        0.000000    0.000000    0.000000";
  {
    // A blank and 69 dashes, or more dashes, end the table.
    StructureList list;
    const std::string text = Table(kInput, {row}, " " + Repeat("-", 69)) + Table(kInput, {row, row}, Repeat("-", 80));
    ASSERT_EQ(ReadGaussianFile(WriteFile("rules.log", text), FT_Gaussian, list, 0), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]->atoms(), 2);
  }
  {
    LogCapture log;
    StructureList list;
    EXPECT_EQ(ReadGaussianFile(WriteFile("empty.log", Table(kInput, {})), FT_Gaussian, list, 0), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(log.text(), "Found Input or Z-Matrix orientation!\n");
  }
  {
    // The file ends inside the table (no final newline either); a marker among
    // the skipped lines is not a marker.
    StructureList list;
    const std::string text = Lines({kInput, kInput, "x", "x", "x", row, row});
    ASSERT_EQ(ReadGaussianFile(WriteFile("eof.log", text.substr(0, text.size() - 1)), FT_Gaussian, list, 0), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->atoms(), 2);
    EXPECT_EQ(ReadGaussianFile(WriteFile("eofskip.log", Lines({kInput, "x"})), FT_Gaussian, list, 0), -1);
    EXPECT_EQ(ReadGaussianFile("/nonexistent/g.log", FT_Gaussian, list, 0), -1);
    EXPECT_EQ(list.size(), 1u);
  }
}
