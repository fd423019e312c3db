// The ORCA and Q-Chem readers through their table entries: signatures, every printed geometry in order and in
// angstrom, and what the output printed about each geometry (energies, method, convergence).
#include <optional>
#include <sstream>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kOrca = "Found Cartesian coordinates (Angstroem)!\n";
const std::string kAngs = "Found Standard Nuclear Orientation (Angstroms)!\n";
const std::string kBohr = "Found Standard Nuclear Orientation (Bohr)!\n";
const std::string kOrcaTable = "CARTESIAN COORDINATES (ANGSTROEM)|" + Dashes(33);
const std::string kQChemTable = "  Standard Nuclear Orientation (Angstroms)|  I  Atom  X  Y  Z|" + Dashes(64);
const std::string kScf = "| Total energy in the final basis set = ";

std::string Text(const std::string& path)
{
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}
} // namespace

TEST(OrcaQChem, SignaturesThenEveryGeometryInAngstrom)
{
  // The ORCA banner alone is not enough: every release prints its version under it.
  EXPECT_EQ(CheckFileType(WriteFile("a.out", Lines("  * O   R   C   A *| Program Version 6.0.0|x"))), FT_Orca);
  EXPECT_EQ(CheckFileType(WriteFile("b.out", Lines("  * O   R   C   A *|x|x"))), FT_Unknown);
  EXPECT_EQ(CheckFileType(WriteFile("c.out", Lines("   Welcome to Q-Chem|x"))), FT_QChem);
  const std::string w = "O1,H2,H3", ww = w + "|" + w;
  // clang-format off
  CheckAll({
      // Optimisation cycles and the final evaluation; the a.u. reprint is not read.
      {"orca_water_opt.out", FT_Orca, "", 0, ww + "|" + w, "O,H,H|O,H,H|O,H,H", kOrca + kOrca + kOrca,
       {{0, 0, 2, 0.117f}, {1, 1, 1, 0.7621f}, {2, 2, 2, -0.4719f}}, 2},
      {"orca_oh_uccsdt.out", FT_Orca, "", 0, "O1,H2", "O,H", kOrca, {{0, 1, 2, 0.97f}}, 1},
      // The optimiser's reprints and the final "Coordinates (Angstroms)" repeat a table: not read.
      {"qchem_water_opt.out", FT_QChem, "", 0, ww, "O,H,H|O,H,H", kAngs + kAngs, {{1, 1, 1, 0.7621f}}, 2},
      {"qchem_nh_ccsdt_bohr.out", FT_QChem, "", 0, "N1,H2", "N,H", kBohr, {{0, 1, 2, Bohr(1.72795f)}}, 1},
  }, true);
  CheckAll({
      // Embedding centres are no atoms, a dummy is X, a ghost keeps its element; a broken row drops its table.
      {"ORCA rows", FT_Orca, Lines(kOrcaTable + "|  C 0 0 0|  - 1 0 0|  H: 0 1 0|  Ca> 5 5 5|  H 0 0 1||" +
                                   kOrcaTable + "|  C 0 0 1.5x|"), 0, "C1,X2,H3,H4", "C,?,H,H", kOrca + kOrca},
      // A table cut short is no structure.
      {"ORCA eof", FT_Orca, Lines(kOrcaTable + "|  C 0 0 0"), -1, "", "", kOrca},
      {"Q-Chem eof", FT_QChem, Lines(kQChemTable + "|  1 C 0 0 0"), -1, "", "", kAngs},
      {"Q-Chem rows", FT_QChem, Lines(kQChemTable + "|  1 GH 0 0 0|  2 Cl 1 2 3|" + Dashes(64) + "|" + kQChemTable +
                                      "|  1 C 0 0|" + Dashes(64)), 0, "Gh1,Cl2", "?,Cl", kAngs + kAngs},
  });
  // clang-format on
}

TEST(OrcaQChem, EachGeometryKeepsWhatWasPrintedAfterIt)
{
  using O = std::optional<double>;
  const std::string orca = Text(Fixture("orca_water_opt.out"));
  // Q-Chem: a fragment job's subsystem runs are skipped; a finite-field SCF never replaces a field-free one.
  const std::string fragments =
      Lines(kQChemTable + "|  1 Na 0 0 0|  2 H 0 0 1.9|" + Dashes(64) + kScf + "-1.0| SCF on fragment 1 out of 2|" +
            kQChemTable + "|  1 Na 0 0 0|" + Dashes(64) + kScf +
            "-2.0| Done with SCF on isolated fragments| Applying Cartesian multipole field" + kScf + "-3.0" + kScf +
            "-4.0| Applying Cartesian multipole field" + kScf + "-5.0|" + kQChemTable + "|  1 Na 0 0 0|" + Dashes(64) +
            "| Applying Cartesian multipole field" + kScf + "-6.0");
  const struct {
    std::string what;
    int format;
    std::string text; // empty: the fixture `what`
    size_t structures, structure;
    O total, scf;
    std::string method;
    O maxForce, maxForceThreshold, rmsDisplacement;
    std::optional<bool> converged;
  } cases[] = {
      // ORCA: the final single point energy holds the dispersion; indented iterations and timings are no SCF result.
      {"orca_water_opt.out", FT_Orca, "", 3, 0, -76.3213, -76.3203, "RKS", 0.0089, 0.0003, 0.0123, false},
      {"orca_water_opt.out", FT_Orca, "", 3, 1, -76.3221, -76.3211, "RKS", 8.9e-5, 0.0003, 1.23e-4, true},
      {"orca_water_opt.out", FT_Orca, "", 3, 2, -76.322105, -76.321105, "RKS", {}, {}, {}, {}},
      // Cut inside the second table: the first keeps all of its own.
      {"orca cut", FT_Orca, orca.substr(0, orca.find("0.762100")), 1, 0, -76.3213, -76.3203, "RKS", 0.0089, 0.0003,
       0.0123, false},
      // Open shell, correlated: the coupled-cluster level names the method.
      {"orca_oh_uccsdt.out", FT_Orca, "", 1, 0, -75.5561, -75.3892, "CCSD(T)", {}, {}, {}, {}},
      {"orca_oh_uccsdt_crlf.out", FT_Orca, "", 1, 0, -75.5561, -75.3892, "CCSD(T)", {}, {}, {}, {}},
      // Q-Chem: the method from the echoed $rem; a value of asterisks is no value.
      {"qchem_water_opt.out", FT_QChem, "", 2, 0, -76.4089, -76.4089, "B3LYP", 0.0123, 0.0003, {}, false},
      {"qchem_water_opt_crlf.out", FT_QChem, "", 2, 1, -76.4097, -76.4097, "B3LYP", 0.00012, 0.0003, {}, true},
      {"qchem_nh_ccsdt_bohr.out", FT_QChem, "", 1, 0, -55.07172575, -54.9382257473, "CCSD(T)", {}, {}, {}, {}},
      {"fragments", FT_QChem, fragments, 2, 0, -4.0, -4.0, "", {}, {}, {}, {}},
      {"field only", FT_QChem, fragments, 2, 1, -6.0, -6.0, "", {}, {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what + " " + std::to_string(c.structure));
    const Result r = ReadText(c.format, c.text, -1, c.text.empty() ? Fixture(c.what) : "");
    ASSERT_EQ(r.list.size(), c.structures);
    const vl::Calculation& calc = r.list[c.structure]->calculation();
    EXPECT_EQ(calc.totalEnergy, c.total);
    EXPECT_EQ(calc.scfEnergy, c.scf);
    EXPECT_EQ(calc.method, c.method);
    EXPECT_EQ(calc.convergence.maxForce.value, c.maxForce);
    EXPECT_EQ(calc.convergence.maxForce.threshold, c.maxForceThreshold);
    EXPECT_EQ(calc.convergence.rmsDisplacement.value, c.rmsDisplacement);
    EXPECT_EQ(calc.convergence.converged(), c.converged);
  }
}
