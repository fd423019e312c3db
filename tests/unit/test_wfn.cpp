#include "qcout_testutil.h"

#include <cstdio>
#include <stdexcept>

using namespace qctest;

namespace {
const std::string kHeader = "GAUSSIAN              2 MOL ORBITALS      6 PRIMITIVES        2 NUCLEI";
const std::string kCentre = "CENTRE ASSIGNMENTS    1  1  2";

// A nucleus line in the fixed columns: label 3-4, X/Y/Z 25-60, charge 71-75.
std::string Nucleus(const char* label, int n, double x, double y, double z, const char* charge)
{
  char buf[128];
  std::snprintf(buf, sizeof buf, "  %-2.2s%4d    (CENTRE%3d) %12.8f%12.8f%12.8f  CHARGE =%5s", label, n, n, x, y, z, charge);
  return buf;
}

// Runs the reader and returns the text of the error it raised ("" if none).
template <class E>
std::string ErrorText(const std::string& path, StructureList& list)
{
  try {
    ReadWfnInpFile(path, FT_Wfn, list);
  } catch (const E& e) {
    return e.what();
  }
  return "";
}
} // namespace

TEST(WfnReader, NucleiInBohr)
{
  for (const char* name : {"water.wfn", "water_crlf.wfn"}) {
    SCOPED_TRACE(name);
    LogCapture log;
    StructureList list;
    ASSERT_EQ(ReadWfnInpFile(Fixture(name), FT_Wfn, list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(log.text(), "Found Cartesian coordinates (Bohr)!\n");
    EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"O1", "H2", "H3"}));
    EXPECT_EQ(Types(*list[0]), (std::vector<vl::EAtomType>{vl::AT_Oxygen, vl::AT_Hydrogen, vl::AT_Hydrogen}));
    EXPECT_EQ(list[0]->atom(0)->coordinates().z, Bohr(0.221436f));
    EXPECT_EQ(list[0]->atom(2)->coordinates().y, Bohr(-1.430521f));
    EXPECT_EQ(list[0]->bonds(), 2);
  }
}

TEST(WfnReader, LabelNamesChargeGivesElement)
{
  StructureList list;
  const std::string text = Lines({"title", kHeader, Nucleus("O", 1, 1.0, -1.0, 0.5, "1.0"), Nucleus("Cl", 2, 0, 0, 0, "17.0"),
                                  Nucleus("  ", 3, 0, 0, 0, "0.0"), Nucleus("C", 4, 0, 0, 0, "6.9xy"), kCentre,
                                  "MO    1     MO 0.0        OCC NO =    2.0000000  ORB. ENERGY =  -20.25", kHeader,
                                  Nucleus("He", 1, 0, 0, 0, "2.0")});
  ASSERT_EQ(ReadWfnInpFile(WriteFile("labels.wfn", text), FT_Wfn, list), 0);
  ASSERT_EQ(list.size(), 2u); // the second section ends at the end of the file
  EXPECT_EQ(Names(*list[0]), (std::vector<std::string>{"O1", "Cl2", "  3", "C4"}));
  EXPECT_EQ(Types(*list[0]), (std::vector<vl::EAtomType>{vl::AT_Hydrogen, vl::AT_Chlorine, vl::AT_Unknown, vl::AT_Carbon}));
  EXPECT_EQ(list[0]->atom(0)->coordinates().x, static_cast<float>(0.52917721067));
  EXPECT_EQ(list[0]->atom(0)->coordinates().y, static_cast<float>(-0.52917721067));
  EXPECT_EQ(Names(*list[1]), (std::vector<std::string>{"He1"}));

  StructureList none;
  EXPECT_EQ(ReadWfnInpFile(WriteFile("noheader.wfn", Lines({"title", "MOL ORBITALS PRIMITIVES", Nucleus("O", 1, 0, 0, 0, "8.0")})), FT_Wfn, none), -1);
  EXPECT_EQ(ReadWfnInpFile("/nonexistent/x.wfn", FT_Wfn, none), -1);
  EXPECT_TRUE(none.empty());
}

TEST(WfnReader, FieldsConvertLikeStof)
{
  // Leading blanks, signs, hex and trailing text as std::stof takes them.
  const char* fields[] = {"  0x1p-1", " +.5e1abc", "-7", "   12.25e-1"};
  std::string rows;
  for (const char* f : fields) {
    std::string line = Nucleus("C", 1, 0, 0, 0, "6.0");
    line.replace(24, 12, (std::string(f) + "            ").substr(0, 12));
    rows += line + "\n";
  }
  StructureList list;
  ASSERT_EQ(ReadWfnInpFile(WriteFile("stof.wfn", kHeader + "\n" + rows), FT_Wfn, list), 0);
  ASSERT_EQ(list.size(), 1u);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(list[0]->atom(i)->coordinates().x, Bohr(std::stof(fields[i]))) << fields[i];
}

TEST(WfnReader, MalformedNucleusLinesRaiseStandardErrors)
{
  const std::string good = Nucleus("O", 1, 0, 0, 0, "8.0");
  const std::string first = Lines({kHeader, good, kCentre});
  struct Case {
    std::string line;
    bool outOfRange;
    std::string text;
  } cases[] = {
    {good.substr(0, 60), true, "basic_string::substr: __pos (which is 70) > this->size() (which is 60)"},
    {"", true, "basic_string::substr: __pos (which is 2) > this->size() (which is 0)"},
    {good.substr(0, 30), true, "basic_string::substr: __pos (which is 36) > this->size() (which is 30)"},
    {good.substr(0, 70), false, "stof"}, // an empty charge field
    {Nucleus("O", 1, 0, 0, 0, "  ab "), false, "stof"},
    {"  O    1    (CENTRE  1)   1.0e+40000  0.00000000  0.00000000  CHARGE =  8.0", true, "stof"},
    {"  O    1    (CENTRE  1)   1.0e-50000  0.00000000  0.00000000  CHARGE =  8.0", true, "stof"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    StructureList list;
    const std::string path = WriteFile("bad.wfn", first + Lines({kHeader, good, c.line, good, kCentre}));
    EXPECT_EQ(c.outOfRange ? ErrorText<std::out_of_range>(path, list) : ErrorText<std::invalid_argument>(path, list), c.text);
    // The section being read is dropped; the one before it stays.
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->atoms(), 1);
  }
}
