// What the readers take from what a program printed about each structure: energies, method, convergence,
// title; each belongs to the table before it, and a malformed value stays absent.
#include <cmath>
#include <cstdio>

#include "core/formats/comment.h"
#include "qcout_testutil.h"

using namespace qctest;

namespace {

std::string Value(const std::optional<double>& v)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", v.value_or(0));
  return v ? text : "-";
}

// "total scf method" per structure, '|' between structures, "-" for an absent value.
std::string Energies(const StructureList& list)
{
  std::string s;
  for (const auto& m : list) {
    const vl::Calculation& c = m->calculation();
    s += (s.empty() ? "" : "|") + Value(c.totalEnergy) + " " + Value(c.scfEnergy) + " " +
         (c.method.empty() ? "-" : c.method);
  }
  return s;
}

const std::string kRule = " " + Dashes(69);
std::string GaussianTable(const std::string& z)
{
  return "                          Input orientation:|" + kRule + "| Center| Number|" + kRule +
         "|      1          8           0        0.000000    0.000000    " + z + "|" + kRule + "|";
}
const std::string kGaussianConvergence = "         Item               Value     Threshold  Converged?|"
                                         " Maximum Force            0.000120     0.000450     YES|"
                                         " RMS     Force            0.000400     0.000300     NO|"
                                         " Maximum Displacement     0.0x1        0.001800     NO|";

} // namespace

TEST(Calculation, CommentLinesGiveAnEnergyOrNone)
{
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Properties=species:S:1:pos:R:3 energy=-76.4 pbc=\"F F F\"", "-76.40000"},
      {"E=-3.25", "-3.25000"},
      {"  -40.5  ", "-40.50000"},
      {"Coordinates from ORCA-job dvb E -382.05", "-382.05000"},
      {" energy: -26.438242468348 gnorm: 0.000596789979 xtb: 6.6.1 (8d0f1dd)", "-26.43824"},
      {"Energy='-1.5D+00'", "-1.50000"},
      {"water, frame 3 of 10", "-"},
      {"energy=abc E=1e999 nan", "-"},
      {"", "-"},
  };
  for (const auto& [comment, energy] : cases)
    EXPECT_EQ(Value(CommentEnergy(comment)), energy) << comment;
}

TEST(Calculation, EachResultBelongsToTheTableBeforeItAndMalformedValuesStayAbsent)
{
  const std::string xyzFrames = "1|E -1.5|He 0 0 0|1| step 2 \r|He 0 0 1";
  const std::string gamess =
      " ATOM      ATOMIC                      COORDINATES (BOHR)| CHARGE X Y Z| O  8.0  0.0 0.0 0.0|"
      "| SCF IS UNCONVERGED, TOO MANY ITERATIONS| FINAL UHF ENERGY IS  0.0000000 AFTER 30 "
      "ITERATIONS| COORDINATES OF ALL ATOMS ARE (ANGS)| ATOM| ---| O  8.0  0.0 0.0 1.0|"
      "| FINAL RHF ENERGY IS  -74.96 AFTER 8 ITERATIONS|   E(MP2)=  -75.00228|"
      " FINAL RHF ENERGY IS  -70.0 AFTER 8 ITERATIONS";
  const std::string cfour = " Z-matrix   Atomic            Coordinates (in bohr)| Symbol| ---| O 8 0.0 0.0 0.0| ---|"
                            "     E(SCF)=       -76.021418404612277              0.1196498234D-07|"
                            "            Total MP2 energy        =    -76.228367452475 a.u.|"
                            "  The final electronic energy is       -76.240286551244850 a.u.";
  struct Case {
    std::string what;
    int format;
    std::string text, energies, titles;
  };
  const std::vector<Case> cases = {
      {"water_opt.log", FT_Gaussian, "", "-76.40895 -76.40895 RB3LYP|-76.40898 -76.40898 RB3LYP", "|"},
      // A correlated energy tops the SCF one; a reprinted table gets nothing; a malformed energy stays absent.
      {"", FT_Gaussian,
       " #P MP2/STO-3G|" + GaussianTable("0.1") + " SCF Done:  E(RHF) =  -74.9643287914     A.U. after    7 cycles|" +
           " E2 =    -0.3795333610D-01 EUMP2 =    -0.75002282127453D+02|" + kGaussianConvergence +
           GaussianTable("0.2") + GaussianTable("0.3") + " SCF Done:  E(RHF) =  -7x.5     A.U. after 7 cycles",
       "-75.00228 -74.96433 MP2|- - -|- - RHF", "||"},
      {"", FT_Gaussian,
       " #p ccsd/sto-3g|" + GaussianTable("0.1") + " Wavefunction amplitudes converged. E(Corr)=  -75.0177",
       "-75.01770 - CCSD", ""},
      {"water_opt.gamout", FT_Gamess, "", "- - -|-74.96203 -74.96203 RHF|-74.96590 -74.96590 RHF", "||"},
      // GAMESS prints 0 for an unconverged SCF; a later final energy belongs to a geometry it printed no table for.
      {"", FT_Gamess, gamess, "- - -|-75.00228 -74.96000 MP2", "|"},
      {"", FT_Cfour, cfour, "-76.24029 -76.02142 MP2", ""},
      {"", FT_Xyz, xyzFrames, "-1.50000 - -|- - -", "E -1.5|step 2"},
      {"", FT_MdlMol, "  benzene \r|  program||  1  0  0  0  0  0  0  0  0  0999 V2000|    0.0 0.0 0.0 C", "- - -",
       "benzene"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what.empty() ? c.text.substr(0, 60) : c.what);
    const Result r = ReadText(c.format, Lines(c.text), -1, c.what.empty() ? "" : Fixture(c.what));
    EXPECT_EQ(Energies(r.list), c.energies);
    std::string titles;
    for (size_t k = 0; k < r.list.size(); ++k)
      titles += (k ? "|" : "") + r.list[k]->calculation().title;
    EXPECT_EQ(titles, c.titles);
  }
  // The convergence table: value, threshold and the printed verdict, which decides; a malformed value is absent.
  const Result r = ReadText(FT_Gaussian, Lines(GaussianTable("0.1") + kGaussianConvergence));
  ASSERT_EQ(r.list.size(), 1u);
  const vl::Convergence& g = r.list[0]->calculation().convergence;
  EXPECT_EQ(Value(g.maxForce.value) + " " + Value(g.maxForce.threshold), "0.00012 0.00045");
  EXPECT_EQ(g.maxForce.met(), true);
  EXPECT_EQ(g.rmsForce.met(), false);
  EXPECT_FALSE(g.maxDisplacement.value.has_value());
  EXPECT_FALSE(g.rmsDisplacement.met().has_value());
  EXPECT_EQ(g.converged(), false);
}
