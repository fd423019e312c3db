// The Psi4, NWChem and Molpro readers: recognition by banner, units, the sequence of structures, what each
// structure's energies and convergence are, and files cut short.
#include <optional>
#include <sstream>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kAngs = "Found Cartesian coordinates (Angs)!\n", kBohr = "Found Cartesian coordinates (Bohr)!\n";
const std::string kWater = "O1,H2,H3", kWaters = "O,H,H";

std::string Read(const std::string& name)
{
  std::ostringstream text;
  text << std::ifstream(Fixture(name), std::ios::binary).rdbuf();
  return text.str();
}
} // namespace

TEST(Psi4NWChemMolpro, BannersUnitsAndSequenceOfStructures)
{
  const std::string w2 = kWater + "|" + kWater, s2 = kWaters + "|" + kWaters;
  // clang-format off
  CheckAll({
      // Psi4: each module reprints the geometry; a reprint is the same structure. A ghost is a dummy atom.
      {"psi4_water_opt.out", FT_Psi4, "", 0, w2, s2, kAngs + kAngs + kAngs + kAngs, {{0, 2, 2, 0.521953018286f}, {1, 1, 1, -0.769318563297f}}, 2},
      {"psi4_dimer_bohr.out", FT_Psi4, "", 0, "X1,O2,H3,H4", "?,O,H,H", kBohr + kBohr, {{0, 0, 0, Bohr(-2.8065519757f)}, {0, 3, 2, Bohr(1.433472539453f)}}, 2},
      // NWChem: every table (a.u. as well); in dynamics the gradient tables, the first repeating the input.
      {"nwchem_water_opt.out", FT_NWChem, "", 0, w2 + "|" + kWater, s2 + "|" + kWaters, kAngs + kBohr + kAngs, {{1, 1, 0, Bohr(1.43050318f)}, {2, 1, 0, 0.75731866f}}, 2},
      {"nwchem_water_md.out", FT_NWChem, "", 0, w2, s2, kAngs + kBohr + kBohr + kBohr, {{0, 0, 2, 0.11726921f}, {1, 1, 0, Bohr(1.435810f)}}, 2},
      // Molpro: a "Current geometry" block repeating the table before it is the same structure.
      {"molpro_water_opt.out", FT_Molpro, "", 0, w2, s2, kBohr + kAngs + kAngs, {{0, 1, 1, Bohr(-1.457819894f)}, {1, 1, 1, -0.7752410155f}}, 2},
  }, true);
  // clang-format on

  // Each banner alone is its program; the Molpro long-output file has none.
  const struct {
    std::string text;
    int type;
  } banners[] = {
      {"\n          Psi4: An Open-Source Ab Initio Electronic Structure Package\n", FT_Psi4},
      {"          PSI4: An Open-Source Ab Initio Electronic Structure Package\n", FT_Psi4},
      {" argument  1 = w.nw\n  Northwest Computational Chemistry Package (NWChem) 6.5\n", FT_NWChem},
      {" ***,h2o\n                         ***  PROGRAM SYSTEM MOLPRO  ***\n", FT_Molpro},
      {" PROGRAM * ALASKA (Gradient of the energy)     Author: R. Lindh\n ATOMIC COORDINATES\n", FT_Unknown},
  };
  for (const auto& b : banners)
    EXPECT_EQ(CheckFileType(WriteFile("banner.out", b.text)), b.type) << b.text;
}

TEST(Psi4NWChemMolpro, EnergiesMethodAndConvergenceBelongToTheirStructure)
{
  using D = std::optional<double>;
  using B = std::optional<bool>;
  const struct {
    std::string file;
    int format;
    size_t structure;
    D total, scf;
    std::string method;
    B converged;
    D maxForce, maxForceThreshold;
    B maxForceMet;
    D rmsDisplacement;
  } cases[] = {
      // clang-format off
      // Psi4: DF-MP2 block total (not the SCS one); optking's marks: '*' met, 'o' not judged, none unmet.
      {"psi4_water_opt.out", FT_Psi4, 0, -76.2306324101584573, -76.02663273509015, "DF-MP2", false, 1.21e-2, 3e-4, false, 1.64e-2},
      {"psi4_water_opt.out", FT_Psi4, 1, -76.2310101855911432, -76.02690488752190, "DF-MP2", true, 1.45e-4, 3e-4, true, 2.73e-4},
      // The last "* ... total energy" is the highest level; an SCF energy after it stays the SCF energy.
      {"psi4_dimer_bohr.out", FT_Psi4, 0, -76.287713524932, -76.06047716290939, "CCSD(T)", {}, {}, {}, {}, {}},
      // NWChem: the input table has no energy; the line search's energy after the step line is not the step's.
      {"nwchem_water_opt.out", FT_NWChem, 0, {}, {}, "", {}, {}, {}, {}, {}},
      {"nwchem_water_opt.out", FT_NWChem, 1, -75.002378700325, -74.964328768125, "MP2", false, 0.00127, 0.00045, false, 0.0},
      {"nwchem_water_opt.out", FT_NWChem, 2, -76.42, -76.42, "DFT", false, 0.00004, 0.00045, true, 0.0011},
      // Dynamics: the energy printed before a gradient table is that step's.
      {"nwchem_water_md.out", FT_NWChem, 0, -76.420105127013, -76.420105127013, "B3LYP", {}, {}, {}, {}, {}},
      {"nwchem_water_md.out", FT_NWChem, 1, -76.419980512344, -76.419980512344, "B3LYP", {}, {}, {}, {}, {}},
      // Molpro: the optimiser's last row is the geometry printed after it; OPTGRAD is the force threshold.
      {"molpro_water_opt.out", FT_Molpro, 0, -76.228119090255, -76.024889896268, "MP2", false, 0.01958489, 3e-4, {}, 0.02156105},
      {"molpro_water_opt.out", FT_Molpro, 1, -76.229036216403, -76.026310711120, "MP2", true, 0.00019180, 3e-4, {}, 0.00002631},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + std::to_string(c.structure));
    const Result r = ReadText(c.format, "", -1, Fixture(c.file));
    ASSERT_LT(c.structure, r.list.size());
    const vl::Calculation& calc = r.list[c.structure]->calculation();
    EXPECT_EQ(calc.totalEnergy, c.total);
    EXPECT_EQ(calc.scfEnergy, c.scf);
    EXPECT_EQ(calc.method, c.method);
    EXPECT_EQ(calc.convergence.converged(), c.converged);
    EXPECT_EQ(calc.convergence.maxForce.value, c.maxForce);
    EXPECT_EQ(calc.convergence.maxForce.threshold, c.maxForceThreshold);
    EXPECT_EQ(calc.convergence.maxForce.converged, c.maxForceMet);
    EXPECT_EQ(calc.convergence.rmsDisplacement.value, c.rmsDisplacement);
  }
  // Psi4 marks an inactive criterion 'o': its value without threshold or verdict.
  const vl::ConvergenceCriterion rms =
      ReadText(FT_Psi4, "", -1, Fixture("psi4_water_opt.out")).list[0]->calculation().convergence.rmsForce;
  EXPECT_TRUE(rms.value == 8.02e-3 && !rms.threshold && !rms.converged);
}

TEST(Psi4NWChemMolpro, CutShortOrMalformedTablesAreNoStructures)
{
  const struct {
    std::string file;
    int format;
    std::string cutAfter; // the file up to the end of the first occurrence of this text
    size_t structures;
    std::optional<double> lastTotal;
  } cases[] = {
      {"psi4_water_opt.out", FT_Psi4, "    H            0.000000000000    -0.7693", 1, -76.2306324101584573},
      {"psi4_dimer_bohr.out", FT_Psi4, "  Gh(O)          -2.806551975700", 0, {}},
      {"nwchem_water_opt.out", FT_NWChem, "    2 H                    1.0000     0.75731866", 2, -75.002378700325},
      {"nwchem_water_md.out", FT_NWChem, "   1 O       0.000000   0.000000   0.224511", 1, -76.420105127013},
      {"molpro_water_opt.out", FT_Molpro, " O          0.0000000000        0.0000000000       -0.0666580123\n", 1,
       -76.228119090255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string text = Read(c.file);
    const size_t at = text.find(c.cutAfter);
    ASSERT_NE(at, std::string::npos);
    const Result r = ReadText(c.format, text.substr(0, at + c.cutAfter.size()));
    ASSERT_EQ(r.list.size(), c.structures);
    EXPECT_EQ(r.rc, c.structures ? 0 : -1);
    EXPECT_TRUE(r.list.empty() ||
                (r.list.back()->atoms() == 3 && r.list.back()->calculation().totalEnergy == c.lastTotal));
  }

  // A row that is no atom drops its table, and what follows it belongs to no structure.
  const std::string banner = "Northwest Computational Chemistry Package (NWChem)\n Output coordinates in angstroms\n\n";
  const std::string table = banner + " No. Tag Charge X Y Z\n ---- ---\n    1 O  8.0  0.0  0.0  0.1\n";
  const Result bad = ReadText(FT_NWChem, table + "    2 H  1.0  0.7  0.0 -0.4x\n\n Total SCF energy = -1.0\n");
  EXPECT_TRUE(bad.rc == -1 && bad.list.empty());
  // Tags: the charge decides the element; below one it is a ghost.
  const Result tags = ReadText(FT_NWChem, table + "    2 Ca 20.0 2 0 0\n    3 bqH 0.0 4 0 0\n    4 Cl1 17.0 6 0 0\n\n");
  EXPECT_EQ(Atoms(tags.list), "O1,Ca2,X3,Cl4");
}
