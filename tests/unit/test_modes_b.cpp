// Normal modes from the ORCA, Q-Chem, Psi4, NWChem and Molpro readers: which modes each keeps, their frequencies
// (imaginary negative) and intensities, a vector per atom of the structure in the structure's order, and tables
// broken or cut short, which keep only whole modes.
#include <sstream>

#include "qcout_testutil.h"

using namespace qctest;

namespace {

// What the fixtures print for the k-th mode kept, atom a, axis x.
float Expected(int k, int a, int x)
{
  return static_cast<float>((0.1 * (k + 1) + 0.01 * (a + 1) + 0.001 * (x + 1)) * (x == 1 ? -1 : 1));
}

std::string Text(const std::string& name)
{
  std::ostringstream text;
  text << std::ifstream(Fixture(name), std::ios::binary).rdbuf();
  return text.str();
}

// "frequency/ir/raman" per mode, "," between modes; an absent value is empty.
std::string Modes(const Result& r)
{
  std::string s;
  auto number = [](std::optional<double> v) {
    std::ostringstream out;
    if (v)
      out << *v;
    return out.str();
  };
  for (const auto& m : r.list.empty() ? std::vector<vl::NormalMode>() : r.list.back()->calculation().modes)
    s += (s.empty() ? "" : ",") + number(m.frequency) + "/" + number(m.irIntensity) + "/" + number(m.ramanActivity);
  return s;
}

} // namespace

TEST(NormalModesB, EachReaderKeepsTheVibrationsWithAVectorPerAtom)
{
  const struct {
    std::string file;
    int format;
    std::string modes;
    std::vector<int> printed; // the fixture's mode k for each mode read
  } cases[] = {
      // ORCA 4: the zero translations and rotations go; "T**2" is in km/mol; blocks of six columns.
      {"orca_freq.out", FT_Orca, "-120.5/1.5/0.5,1600.1/55.1/4.25,3700.2/20.3/60", {0, 1, 2}},
      // ORCA 6: ten columns under symmetry labels; "Int" is in km/mol.
      {"orca_freq_v6.out", FT_Orca, "1600.1/12.5/,3650.3/0.75/,3700.2/33.25/", {0, 1, 2}},
      {"qchem_freq.out",
       FT_QChem,
       "-250.3/0/0,1050.2/1.5/2.25,1650.4/3/4.5,1651.5/4.5/6.75,3400.6/6/9,3500.7/7.5/11.25",
       {0, 1, 2, 3, 4, 5}},
      // Psi4 writes an imaginary frequency "123.4567i"; before 1.0, one mode at a time and no intensities.
      {"psi4_freq.out", FT_Psi4, "-123.457/5.911/,1600.1/61.12/,3700.2/36.761/", {0, 1, 2}},
      {"psi4_freq_normal_modes.out", FT_Psi4, "-123.46//,1600.1//,3700.2//", {0, 1, 2}},
      // NWChem: the projected zero modes go; the intensities follow the mode numbers.
      {"nwchem_freq.out", FT_NWChem, "-150.2/0/,1610.3/15/,3720.4/17.5/,3800.5/20/", {0, 1, 2, 3}},
      // Molpro: imaginary (printed positive), then the nonzero low ones, then the rest; its own atom order.
      {"molpro_freq.out", FT_Molpro, "-120.5/1.5/,5.3/0/,1600.1/55.1/,3700.2/20.3/", {0, 3, 1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const Result r = ReadText(c.format, "", -1, Fixture(c.file));
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_EQ(Modes(r), c.modes);
    const vl::Molecule& m = *r.list.back();
    const auto& modes = m.calculation().modes;
    ASSERT_EQ(modes.size(), c.printed.size());
    for (size_t k = 0; k < modes.size(); ++k) {
      ASSERT_EQ(modes[k].displacement.size(), static_cast<size_t>(m.atoms()));
      for (int a = 0; a < m.atoms(); ++a)
        for (int x = 0; x < 3; ++x) // Psi4 prints two decimals
          EXPECT_NEAR(modes[k].displacement[static_cast<size_t>(a)][x], Expected(c.printed[k], a, x), 0.006)
              << k << " " << a << " " << x;
    }
  }
}

TEST(NormalModesB, Psi4FiniteDifferencesKeepTheReferenceGeometry)
{
  // Psi4 1.7 computes the reference first: the displaced tables and their energies are no structures.
  const Result first = ReadText(FT_Psi4, "", -1, Fixture("psi4_freq.out"));
  ASSERT_EQ(first.list.size(), 1u);
  EXPECT_EQ(first.list[0]->atom(1)->coordinates()[2], Bohr(static_cast<float>(-0.47 / 0.52917721067)));
  EXPECT_EQ(first.list[0]->calculation().scfEnergy, -76.02663273509015);
  // Before 1.4 a gradient at the reference came first, and the reference was one of the displacements:
  // the structure keeps its own energy and gets the modes.
  std::string text = Text("psi4_freq.out");
  const size_t table = text.find("    Geometry"), plan = text.find("  Using finite");
  text.insert(plan, text.substr(table, text.find("  @DF-RHF", table) - table) + "  @DF-RHF Final Energy: -76.5\n");
  const Result before = ReadText(FT_Psi4, text);
  ASSERT_EQ(before.list.size(), 1u);
  EXPECT_EQ(before.list[0]->calculation().scfEnergy, -76.5);
  EXPECT_EQ(Modes(before), Modes(first));
}

TEST(NormalModesB, BrokenOrCutTablesKeepOnlyWholeModes)
{
  // A row with a value missing or too many, a row out of order: that block is dropped, the modes before it stay.
  const struct {
    std::string file;
    int format;
    std::string from, to;
    size_t modes;
  } broken[] = {
      {"qchem_freq.out", FT_QChem, "0.641 -0.642  0.643", "0.641 -0.642", 3},
      {"orca_freq.out", FT_Orca, "      7      -0.132000  -0.232000  -0.332000\n", "", 0},
      {"nwchem_freq.out", FT_NWChem, "0.33300     0.43300", "0.33300     0.43300   1.0", 1},
      {"molpro_freq.out", FT_Molpro, "HZ3", "HZ2", 3},
      {"psi4_freq.out", FT_Psi4, "0.31 -0.31  0.31", "0.31 -0.31", 0},
  };
  for (const auto& b : broken) {
    SCOPED_TRACE(b.file + ": " + b.from);
    std::string text = Text(b.file);
    const size_t at = text.rfind(b.from);
    ASSERT_NE(at, std::string::npos);
    const Result r = ReadText(b.format, text.replace(at, b.from.size(), b.to));
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_EQ(r.list[0]->calculation().modes.size(), b.modes);
  }
  // Cut at every line: each mode read is one of the whole file's, with all its vectors.
  for (const std::string file : {"orca_freq.out", "orca_freq_v6.out", "qchem_freq.out", "psi4_freq.out",
                                 "psi4_freq_normal_modes.out", "nwchem_freq.out", "molpro_freq.out"}) {
    SCOPED_TRACE(file);
    const std::string text = Text(file), path = WriteFile(file, "");
    const auto whole = Load(Fixture(file)).list.back()->calculation().modes;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', end + 1)) {
      std::ofstream(path, std::ios::binary | std::ios::trunc) << text.substr(0, end + 1);
      const Result r = Load(path);
      for (const auto& structure : r.list)
        for (const auto& m : structure->calculation().modes) {
          bool found = false;
          for (const auto& w : whole)
            found = found || (w.frequency == m.frequency && w.displacement == m.displacement);
          EXPECT_TRUE(found) << end << " " << m.frequency;
        }
    }
  }
}
