// Orbitals and densities on grids: analytic primitives, every writer's
// conventions (with the corpus when it is there), spins, cube files, bad input.
#include <cmath>
#include <filesystem>
#include <functional>

#include "core/export/export.h"
#include "core/orbitals/basis.h"
#include "core/orbitals/cube.h"
#include "core/orbitals/readers.h"
#include "qcout_testutil.h"

using namespace qctest;
using namespace orb;

namespace {

std::string Data(const std::string& name)
{
  return std::string(ORBISK_TEST_DATA) + "/orbitals/" + name;
}
std::string Corpus(const std::string& name)
{
  return std::string(ORBISK_CORPUS_DIR) + "/" + name;
}
bool HaveCorpus()
{
  return std::filesystem::exists(Corpus("orbitals"));
}

std::string Text(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Wavefunction Read(const std::string& path)
{
  Wavefunction w;
  std::string error;
  EXPECT_TRUE(ReadWavefunction(path, w, error)) << path << ": " << error;
  return w;
}

Grid OnGrid(const Wavefunction& w, int number, double spacing, Spin spin = Spin::Alpha)
{
  OrbitalChoice choice;
  choice.kind = number > 0 ? OrbitalChoice::Kind::Number : OrbitalChoice::Kind::Density;
  choice.offset = number;
  choice.spin = spin;
  GridResult r = EvaluateOrbital(w, choice, spacing);
  EXPECT_TRUE(r.ok()) << r.error;
  return r.grid;
}

double Integral(const Grid& g, bool squared)
{
  double sum = 0;
  for (float v : g.values)
    sum += squared ? double(v) * v : v;
  return sum * g.voxelVolume();
}

// Largest difference between the grids up to the orbitals' overall sign, relative to the largest value.
double Difference(const Grid& a, const Grid& b)
{
  double plus = 0, minus = 0, top = 1e-300;
  for (size_t q = 0; q < a.values.size() && a.values.size() == b.values.size(); ++q) {
    plus = std::max(plus, std::fabs(double(a.values[q]) - b.values[q]));
    minus = std::max(minus, std::fabs(double(a.values[q]) + b.values[q]));
    top = std::max(top, std::fabs(double(a.values[q])));
  }
  return a.values.size() == b.values.size() ? std::min(plus, minus) / top : HUGE_VAL;
}

// One shell of one primitive on an atom at the origin; the orbital is its function `index` (1-based) of `count`.
std::string OneShell(const std::string& tags, const std::string& label, double alpha, int count, int index)
{
  std::string text = "[Molden Format]\n[Atoms] AU\nHe 1 2 0.0 0.0 0.0\n" + tags + "[GTO]\n1 0\n" + label + " 1 1.00\n" +
                     std::to_string(alpha) + " 1.0\n\n[MO]\n Ene= -0.5\n Spin= Alpha\n Occup= 2.0\n";
  for (int f = 1; f <= count; ++f)
    text += std::to_string(f) + (f == index ? " 1.0\n" : " 0.0\n");
  return text;
}

double Radial(double a, int l, double r2)
{
  return std::pow(2 * a / M_PI, 0.75) * std::pow(4 * a, 0.5 * l) * std::exp(-a * r2);
}

} // namespace

TEST(Orbitals, SinglePrimitivesMatchTheirFormulas)
{
  using F = std::function<double(double, double, double)>;
  const double r3 = std::sqrt(3.0), r15 = std::sqrt(15.0);
  const struct {
    const char* what;
    std::string file; // a path, or Molden text
    int orbital, l;
    double alpha;
    F f;
  } cases[] = {
      {"s", OneShell("", "s", 0.8, 1, 1), 1, 0, 0.8, [](double, double, double) { return 1.0; }},
      {"p x", OneShell("", "p", 0.8, 3, 1), 1, 1, 0.8, [](double x, double, double) { return x; }},
      {"Cartesian d xx", OneShell("", "d", 0.8, 6, 1), 1, 2, 0.8, [&](double x, double, double) { return x * x / r3; }},
      {"Cartesian d xy", OneShell("", "d", 0.8, 6, 4), 1, 2, 0.8, [](double x, double y, double) { return x * y; }},
      {"pure d 0", OneShell("[5D]\n", "d", 0.8, 5, 1), 1, 2, 0.8,
       [&](double x, double y, double z) { return (z * z - 0.5 * (x * x + y * y)) / r3; }},
      {"pure d -2", OneShell("[5D10F]\n", "d", 0.8, 5, 5), 1, 2, 0.8, [](double x, double y, double) { return x * y; }},
      {"pure f +3", OneShell("[7F]\n", "f", 0.8, 7, 6), 1, 3, 0.8,
       [&](double x, double y, double) { return std::sqrt(5.0 / 8) * (x * x * x - 3 * x * y * y) / r15; }},
      {"Cartesian f xyz", OneShell("", "f", 0.8, 10, 10), 1, 3, 0.8,
       [](double x, double y, double z) { return x * y * z; }},
      // The formatted checkpoint: p y of an sp shell, pure d +1, Cartesian xy.
      {"fchk sp", Data("he_sp_d.fchk"), 1, 1, 0.7, [](double, double y, double) { return y; }},
      {"fchk pure d +1", Data("he_sp_d.fchk"), 2, 2, 0.9, [](double x, double, double z) { return x * z; }},
      {"fchk Cartesian d xy", Data("he_sp_d.fchk"), 3, 2, 0.9, [](double x, double y, double) { return x * y; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Wavefunction w = Read(c.file[0] == '/' ? c.file : WriteFile("one.molden", c.file));
    const Grid g = OnGrid(w, c.orbital, 0.5);
    double worst = 0;
    for (int i = 0; i < g.counts[0]; ++i)
      for (int j = 0; j < g.counts[1]; ++j)
        for (int k = 0; k < g.counts[2]; ++k) {
          const auto p = g.point(i, j, k);
          const double expected = Radial(c.alpha, c.l, p[0] * p[0] + p[1] * p[1] + p[2] * p[2]) * c.f(p[0], p[1], p[2]);
          worst = std::max(worst, std::fabs(g.value(i, j, k) - expected) / std::max(1.0, std::fabs(expected)));
        }
    EXPECT_LT(worst, 1e-6);
    EXPECT_NEAR(Integral(OnGrid(w, c.orbital, 0.15), true), 1.0, 1e-3);
  }
}

TEST(Orbitals, EveryWritersConventionsGiveNormalisedOrbitals)
{
  if (!HaveCorpus())
    GTEST_SKIP() << "no corpus at " << Corpus("orbitals");
  const struct {
    const char* file;
    const char* way; // how the Molden reader took it
    bool onGrid;     // the HOMO (or orbital 1) lies within the grid's box
  } cases[] = {
      {"orbitals/h_sonly_sph_cfour.molden", "standard", true},
      {"orbitals/h_ponly_sph_cfour.molden", "standard", true},
      {"orbitals/h_ponly_cart_cfour.molden", "standard", true},
      {"orbitals/h_donly_sph_cfour.molden", "CFOUR", true},
      {"orbitals/h_donly_cart_cfour.molden", "CFOUR", true},
      {"orbitals/h2o_ccpvdz_cfour.molden", "CFOUR", true},
      {"orbitals/h2o.molden.input", "ORCA", true},
      {"orbitals/h2o_psi4_1.3.2_6-31G_d_cart.molden", "Psi4's up to 1.3.2", true},
      {"orbitals/h2o_sto3g.fchk", "", true},
      {"orbitals/he_spd_orbital.fchk", "", true},
      {"orbitals/he_spdfgh_virtual.fchk", "", false},     // diffuse: beyond the box
      {"FChk/basicGaussian16/Mo4OCl4-sp.fchk", "", true}, // pure d on five centres
      {"FChk/basicGaussian16/CO_TD_delta.fchk", "", false},
      {"FChk/basicGaussian16/C_bigbasis.fchk", "", false}, // pure f and g
      {"FChk/basicGaussian16/dvb_un_sp.fchk", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const Wavefunction w = Read(Corpus(c.file));
    EXPECT_NE(w.note.find(c.way), std::string::npos) << w.note;
    EXPECT_LT(LargestNormError(w, 1000), 1e-5);
    const int homo = std::max(HomoIndex(w, Spin::Alpha), 0) + 1;
    if (c.onGrid) {
      EXPECT_NEAR(Integral(OnGrid(w, homo, 0.15), true), 1.0, 0.01);
    }
  }
}

TEST(Orbitals, TheSameOrbitalsFromAnotherFormatAndAnalyticCfourFunctions)
{
  if (!HaveCorpus())
    GTEST_SKIP() << "no corpus at " << Corpus("orbitals");
  // Gaussian wrote each calculation as fchk and as WFN (Cartesian d to h as WFN primitives).
  for (const char* name :
       {"he_s_virtual", "he_sp_orbital", "he_spd_orbital", "he_spdf_orbital", "he_spdfgh_virtual", "h2o_sto3g"}) {
    SCOPED_TRACE(name);
    const Wavefunction a = Read(Corpus("orbitals/" + std::string(name) + ".fchk"));
    const Wavefunction b = Read(Corpus("wfn-xyz-sdf/" + std::string(name) + ".wfn"));
    ASSERT_LE(b.alpha.size(), a.alpha.size());
    for (size_t n = 1; n <= b.alpha.size(); ++n)
      EXPECT_LT(Difference(OnGrid(a, static_cast<int>(n), 0.4), OnGrid(b, static_cast<int>(n), 0.4)), 1e-5) << n;
  }
  // CFOUR writes pure d functions as Cartesian combinations: d 0 and d +2 at exponent 0.5.
  const Wavefunction d = Read(Corpus("orbitals/h_donly_sph_cfour.molden"));
  const Grid g0 = OnGrid(d, 1, 0.5), g2 = OnGrid(d, 2, 0.5);
  for (int i = 0; i < g0.counts[0]; i += 3)
    for (int k = 0; k < g0.counts[2]; k += 2) {
      const auto p = g0.point(i, 5, k);
      const double radial = Radial(0.5, 2, p[0] * p[0] + p[1] * p[1] + p[2] * p[2]) / std::sqrt(3.0);
      EXPECT_NEAR(g0.value(i, 5, k), radial * (p[2] * p[2] - 0.5 * (p[0] * p[0] + p[1] * p[1])), 1e-6);
      EXPECT_NEAR(g2.value(i, 5, k), radial * std::sqrt(0.75) * (p[0] * p[0] - p[1] * p[1]), 1e-6);
    }
}

TEST(Orbitals, SpinsHomoLumoAndDensity)
{
  const double chi = Radial(0.5, 0, 0); // a beta HOMO on atom 1 alone
  for (const char* file : {"h2_uhf.molden", "h2_uhf.wfn"}) {
    SCOPED_TRACE(file);
    const Wavefunction w = Read(Data(file));
    ASSERT_TRUE(w.alpha.size() == 2 && w.beta.size() == 2);
    std::string list;
    for (const OrbitalInfo& o : ListOrbitals(w))
      list += (o.spin == Spin::Beta ? "b" : "a") + std::to_string(o.number) + (o.homo ? "H" : o.lumo ? "L" : "") + " ";
    EXPECT_EQ(list, "a1 a2H b1H b2L ");
    const struct {
      const char* choice;
      std::optional<Spin> spin;
      int index;
    } choices[] = {
        {"homo", {}, 1},      {"homo-1", Spin::Alpha, 0}, {"homo", Spin::Beta, 0},    {"lumo", Spin::Beta, 1},
        {"2", Spin::Beta, 1}, {"lumo", {}, -1},           {"homo-2", Spin::Beta, -1}, {"3", {}, -1}};
    for (const auto& s : choices) {
      OrbitalChoice choice;
      std::string error;
      ASSERT_TRUE(ParseOrbitalChoice(s.choice, choice, error)) << s.choice;
      choice.spin = s.spin;
      EXPECT_EQ(ResolveOrbital(w, choice, error), s.index) << s.choice;
      EXPECT_EQ(error.find("does not exist") != std::string::npos, s.index < 0) << error;
    }
    const Grid beta = OnGrid(w, 1, 0.35, Spin::Beta);
    const auto p = beta.point(10, 10, 10);
    const double r2 = p[0] * p[0] + p[1] * p[1] + (p[2] + 0.7) * (p[2] + 0.7);
    EXPECT_NEAR(std::fabs(beta.value(10, 10, 10)), chi * std::exp(-0.5 * r2), 1e-6);
    EXPECT_NEAR(Integral(OnGrid(w, 0, 0.2, Spin::Alpha), false), 2.0, 0.01);
    EXPECT_NEAR(Integral(OnGrid(w, 0, 0.2, Spin::Beta), false), 1.0, 0.01);
    OrbitalChoice total;
    total.kind = OrbitalChoice::Kind::Density;
    EXPECT_NEAR(Integral(EvaluateOrbital(w, total, 0.2).grid, false), 3.0, 0.03);
  }
  EXPECT_LT(Difference(OnGrid(Read(Data("h2_uhf.molden")), 2, 0.3, Spin::Beta),
                       OnGrid(Read(Data("h2_uhf.wfn")), 2, 0.3, Spin::Beta)),
            1e-6);
}

TEST(Orbitals, ChoicesParseOrAreRefused)
{
  const struct {
    const char* text;
    bool ok;
    OrbitalChoice::Kind kind;
    int offset;
  } cases[] = {{"HOMO", true, OrbitalChoice::Kind::Homo, 0},
               {"homo-2", true, OrbitalChoice::Kind::Homo, -2},
               {"lumo+1", true, OrbitalChoice::Kind::Lumo, 1},
               {"7", true, OrbitalChoice::Kind::Number, 7},
               {"density", true, OrbitalChoice::Kind::Density, 0},
               {"", false, {}, 0},
               {"0", false, {}, 0},
               {"homo-", false, {}, 0},
               {"lumo+x", false, {}, 0},
               {"-3", false, {}, 0},
               {"homo+-1", false, {}, 0},
               {"99999999999", false, {}, 0}};
  for (const auto& c : cases) {
    OrbitalChoice choice;
    std::string error;
    EXPECT_EQ(ParseOrbitalChoice(c.text, choice, error), c.ok) << c.text;
    EXPECT_TRUE(!c.ok || (choice.kind == c.kind && choice.offset == c.offset)) << c.text;
    EXPECT_EQ(error.empty(), c.ok) << c.text;
  }
}

TEST(Orbitals, CubesRoundTripAndReadAsStructures)
{
  const Wavefunction w = Read(Data("h2_uhf.molden"));
  const Grid g = OnGrid(w, 2, 0.3);
  const std::string path = WriteFile("h2.cube", "");
  std::FILE* f = std::fopen(path.c_str(), "w");
  WriteCube(f, g, w.atoms, "h2", "orbital 2");
  std::fclose(f);
  Cube cube;
  std::string error;
  ASSERT_TRUE(ReadCube(path, cube, error)) << error;
  EXPECT_EQ(cube.grid.counts, g.counts);
  EXPECT_EQ(cube.comment[1], "orbital 2");
  ASSERT_EQ(cube.atoms.size(), 2u);
  EXPECT_NEAR(cube.atoms[1].position[2], 0.7, 1e-6);
  for (size_t a = 0; a < 3; ++a)
    EXPECT_NEAR(cube.grid.origin[a] + cube.grid.axes[a][a], g.origin[a] + g.axes[a][a], 1e-6);
  double worst = 0;
  for (size_t q = 0; q < g.values.size(); ++q)
    worst = std::max(worst, std::fabs(double(cube.grid.values[q]) - g.values[q]) / (1e-12 + std::fabs(g.values[q])));
  EXPECT_LT(worst, 1e-5);

  // As a structure: bohr to angstrom, names by element and number; angstrom when the first count is negative.
  const Result r = Load(Fixture("water_small.cube"));
  EXPECT_EQ(r.rc, FT_Cube);
  EXPECT_EQ(Atoms(r.list), "O1,H2,H3");
  EXPECT_FLOAT_EQ(r.list[0]->atom(0)->coordinates().z, Bohr(0.224929f));
  std::string text = Text(Fixture("water_small.cube"));
  text.replace(text.find("    2    2.0"), 5, "   -2");
  const Result angstrom = Load(WriteFile("a.cube", text));
  EXPECT_FLOAT_EQ(angstrom.list[0]->atom(0)->coordinates().z, 0.224929f);
  ASSERT_TRUE(ReadCube(Fixture("water_small.cube"), cube, error)) << error;
  EXPECT_EQ(cube.grid.values.size(), 12u);
  EXPECT_FLOAT_EQ(cube.grid.value(1, 1, 2), 0.12f);
  if (HaveCorpus()) {
    ASSERT_TRUE(ReadCube(Corpus("orbitals/cubegen_h2o_5points.cube"), cube, error)) << error;
    EXPECT_EQ(cube.atoms.size(), 3u);
    EXPECT_FLOAT_EQ(cube.grid.value(2, 2, 2), 297.621f); // at the oxygen nucleus
  }
}

TEST(Orbitals, BadInputGivesAClearMessage)
{
  const struct {
    const char* fixture;
    std::string from, to, error;
  } cases[] = {
      {"h2_uhf.molden", "0.5000000000      1.0", "-0.5000000000      1.0", "exponents must be positive"},
      {"h2_uhf.molden", "   2  -1.1361089708\n", "", "gives 1 of the 2 coefficients"},
      {"h2_uhf.molden", "s    1 1.00", "s    3 1.00", "lacks 2 primitives"},
      {"h2_uhf.molden", "[MO]", "[XX]", "gives no orbitals"},
      {"h2_uhf.molden", "[GTO]", "[STO]", "Slater-type"},
      {"he_sp_d.fchk", "N=          45", "N=          50", "gives 45 of the 50 values"},
      {"he_sp_d.fchk", "          -1          -2           2", "          -1          -2           9", "has type 9"},
      {"he_sp_d.fchk", "Alpha MO", "Alpha Mo", "holds no orbitals"},
      {"h2_uhf.wfn", "TYPE ASSIGNMENTS      1  1", "TYPE ASSIGNMENTS      1 99", "has type 99"},
      {"h2_uhf.wfn", "EXPONENTS  0.5000000D+00", "EXPONENTS -0.5000000D+00", "exponents must be positive"},
      {"h2_uhf.wfn", "  0.48145709D+00 -0.48145709D+00\n", "", "gives 0 of 2 coefficients"},
      {"h2_uhf.wfn", "4 MOL ORBITALS", "5 MOL ORBITALS", "gives 4 of 5 orbitals"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    std::string text = Text(Data(c.fixture));
    ASSERT_NE(text.find(c.from), std::string::npos);
    text.replace(text.find(c.from), c.from.size(), c.to);
    Wavefunction w;
    std::string error;
    EXPECT_FALSE(ReadWavefunction(WriteFile(c.fixture, text), w, error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  Wavefunction w;
  std::string error;
  EXPECT_FALSE(ReadWavefunction(Fixture("water_opt.log"), w, error));
  EXPECT_NE(error.find("holds no orbitals"), std::string::npos) << error;
  Grid grid;
  EXPECT_FALSE(LayoutGrid(Read(Data("h2_uhf.molden")), 0.01, grid, error));
  EXPECT_NE(error.find("at most 512^3"), std::string::npos) << error;
  Cube cube;
  const std::string whole = Text(Fixture("water_small.cube"));
  EXPECT_FALSE(ReadCube(WriteFile("cut.cube", whole.substr(0, whole.rfind("  1.00000E-01"))), cube, error));
  EXPECT_NE(error.find("the cube file ends after 9 of its 12 values"), std::string::npos) << error;

  // Every prefix of the fixtures and of the noise behind orbital files' headers: an answer, never a crash.
  for (const auto& dir : {Data(""), std::string(ORBISK_TEST_DATA) + "/hostile/"})
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::string name = entry.path().filename();
      if (name.find("molden") == std::string::npos && name.find("fchk") == std::string::npos &&
          name.find("wfn") == std::string::npos && name.find("cube") == std::string::npos)
        continue;
      const size_t size = std::filesystem::file_size(entry.path());
      const std::string path = WriteFile(name, Text(entry.path()));
      for (size_t cut = size + 1; cut-- > 0;) {
        std::filesystem::resize_file(path, cut);
        ReadWavefunction(path, w, error);
        ReadCube(path, cube, error);
      }
    }
}

TEST(Orbitals, ExportWritesACubeOrSaysWhy)
{
  testing::internal::CaptureStdout();
  EXPECT_EQ(ExportStructures(Data("h2_uhf.molden"), "cube", 0, {"homo", "beta", 0.5}), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("beta orbital 1 (HOMO)"), std::string::npos) << out.substr(0, 200);
  EXPECT_NE(out.find("\n    2"), std::string::npos); // the atom count
  testing::internal::CaptureStdout();
  EXPECT_EQ(ExportStructures(Data("h2_uhf.molden"), "cube", 0, {"lumo+5", "", 0.5}), 1);
  EXPECT_EQ(ExportStructures(Fixture("water_opt.log"), "cube", 0, {"homo", "", 0.5}), 1);
  EXPECT_EQ(ExportStructures(Data("h2_uhf.molden"), "cube", 0, {}), 1);
  EXPECT_EQ(ExportStructures(Data("h2_uhf.molden"), "xyz", 0, {"homo", "", 0.5}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
