// The readers of xtb output, formatted checkpoints and Molden files, and the end of a Gaussian orientation table.
#include <optional>

#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kMarker = "================| final structure:|================|", kFinal = "Found final structure!\n",
                  kTopology = "Found input coordinates (Bohr)!\n";
const std::string kCurrent = "Found Current cartesian coordinates (Bohr)!\n",
                  kPoints = "Found Opt point geometries (Bohr)!\n";
const std::string kAu = "Found [Atoms] (Bohr)!\n", kAngs = "Found [Atoms] (Angs)!\n";
const std::string kFrames = "Found [GEOMETRIES] (Angs)!\n", kFr = "Found [FR-COORD] (Bohr)!\n";
const std::string kBanner = "     |                           x T B                           |";
const std::string kXtb = kBanner + "\n   * xtb version 6.6.1\n"; // the banner holds '|': no Lines()
const std::string kWater = "O 0.0 0.0 0.119|H 0.0 0.763 -0.476|H 0.0 -0.763 -0.476";

// A formatted-checkpoint header line: name in 40 columns, the type in column 44, then "N=" and a count or a value.
std::string Fchk(const std::string& name, char type, const std::string& rest)
{
  return name + std::string(43 - name.size(), ' ') + type + "   " + rest;
}
const std::string kFchkHead = "t|SP        RHF                           STO-3G|" +
                              Fchk("Number of atoms", 'I', "   3") + "|" +
                              Fchk("Atomic numbers", 'I', "N=           3") + "|           8           1  1|";
const std::string kCoords =
    Fchk("Current cartesian coordinates", 'R', "N=           9") + "| 0 0 0.2 0 1.5|-0.9 0 -1.5 -0.9";
const std::string kPoint =
    "|" + Fchk("Opt point       1 Geometries", 'R', "N=           9") + "| 0 0 0.2 0 1.5|-0.9 0 -1.5 -0.9";
const std::string kMolden =
    "[Molden Format]|[Atoms] Angs|O 1 8 0.0 0.0 0.119|H 2 1 0.0 0.763 -0.476|H 3 1 0 -0.763 -0.476";

struct Carried {
  std::string what;
  size_t structure;
  std::optional<double> total, scf;
  std::string method, title;
  std::optional<double> maxForce, rmsForce, maxStep;
  std::optional<bool> converged;
};
} // namespace

TEST(XtbFchkMolden, SignaturesOnTheirLinesAndTheGaussianTableOfXtb)
{
  const struct {
    const char* name;
    std::string text;
    int type;
  } cases[] = {
      {"a.out", kXtb, FT_Xtb},
      {"a.out", kBanner + "\n", FT_Unknown},
      {"a.fchk", Lines(kFchkHead), FT_Fchk},
      {"a.fchk", Lines("t|" + kFchkHead), FT_Unknown}, // "Number of atoms" on line 4
      {"a.molden", Lines(kMolden), FT_Molden},
      {"a.molden", Lines("x|" + kMolden), FT_Unknown},
      {"MOLDEN.INP", Lines("[MOLDEN FORMAT]|[ATOMS] AU"), FT_Molden},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.text);
    EXPECT_EQ(CheckFileType(WriteFile(c.name, c.text)), c.type);
  }
  // xtb's g98.out: Gaussian, its table ruled with 68 dashes; the lines under the rule are no atoms.
  const std::string g98 = "                         Standard orientation:| " + Dashes(68) +
                          "|  Center     Atomic     Atomic              Coordinates (Angstroms)|  Number     Number  "
                          "    Type              X           Y           Z| " +
                          Dashes(68) + "|    1          8             0        0.000000    0.000000    0.119000| " +
                          Dashes(68) + "|     1 basis functions        1 primitive gaussians|\r";
  const Result r = Load(WriteFile("g98.out", Lines(g98)));
  EXPECT_EQ(r.rc, FT_Gaussian);
  EXPECT_EQ(Atoms(r.list), "O1");
}

TEST(XtbFchkMolden, StructuresUnitsAndCutsThenWhatEachCarries)
{
  const std::string w = "O1,H2,H3", ww = w + "|" + w, bad = "1.2.3";
  const std::string molfile = kMarker + " energy: -1|xtb|x|  3  2  0  0  0  0            999 V2000|    0.0 0.0 0.119 O|"
                                        "    0.0 0.763 -0.476 H|    0.0 -0.763 -0.476 H";
  const std::string cut = kMarker + "3|c|" + kWater.substr(0, 38);
  const std::string points = Fchk("Opt point       1 Geometries", 'R', "N=          18") +
                             "| 0 0 0 0 1.5|-0.9 0 -1.5 -0.9 0|0 0.1 0 1.5 -0.9|0 -1.5 -0.9";
  const std::string opt = "t|FOpt      RHF|" + kFchkHead.substr(kFchkHead.find("Number")) + kCoords + "|" + points;
  const std::string cutCoords = kFchkHead + kCoords.substr(0, kCoords.rfind('|'));
  const std::string frame = "[GEOMETRIES] XYZ|3|f|" + kWater + "|";
  // clang-format off
  CheckAll({
      // xtb: GFN-FF's topology table in bohr, the final structure in angstrom; Turbomole $coord in bohr.
      {"xtb_water_opt.out", FT_Xtb, "", 0, ww, "O,H,H|O,H,H", kTopology + kFinal, {{0, 1, 1, Bohr(1.44f)}, {1, 0, 2, 0.119f}}, 2},
      {"xtb_ch4_coord.out", FT_Xtb, "", 0, "C1,H2,H3,H4,H5", "C,H,H,H,H", kFinal, {{0, 1, 0, Bohr(1.188f)}}, 4},
      // Gaussian: the optimisation's geometries, the current one being the last; bohr.
      {"water_opt.fchk", FT_Fchk, "", 0, ww, "O,H,H|O,H,H", kCurrent + kPoints, {{0, 0, 2, Bohr(0.2f)}, {1, 1, 1, Bohr(1.44186f)}}, 2},
      // Molden: the frames; [Atoms] is the last of them and [FR-COORD] is not needed.
      {"water_opt.molden", FT_Molden, "", 0, ww, "O,H,H|O,H,H", kAu + kFrames + kFr, {{0, 0, 2, 0.105835f}, {1, 2, 1, -0.763f}}, 2},
  }, true);
  CheckAll({
      {"xtb molfile", FT_Xtb, Lines(molfile), 0, w, "", kFinal, {{0, 2, 1, -0.763f}}},
      {"xtb cut in a row", FT_Xtb, Lines(cut), -1, "", "", kFinal},
      {"xtb coordinate no number", FT_Xtb, Lines(kMarker + "1|c|O 0 0 " + bad), -1, "", "", kFinal},
      {"xtb PDB not read", FT_Xtb, Lines(kMarker + "ATOM 1 O|END"), -1, "", "", kFinal},
      // A single point read from an optimisation's checkpoint: its points are left out.
      {"fchk SP", FT_Fchk, Lines(kFchkHead + kCoords + kPoint), 0, w, "", kCurrent + kPoints},
      {"fchk current not last", FT_Fchk, Lines(opt), 0, ww + "|" + w, "", kCurrent + kPoints, {{0, 0, 2, 0}, {1, 0, 2, Bohr(0.1f)}, {2, 0, 2, Bohr(0.2f)}}},
      {"fchk cut by a header", FT_Fchk, Lines(cutCoords + "|" + Fchk("SCF Energy", 'R', "  -7.6E+01")), -1, "", "", kCurrent},
      {"fchk no number", FT_Fchk, Lines(cutCoords + "|-0.9 0 x -0.9"), -1, "", "", kCurrent},
      {"fchk file ends", FT_Fchk, Lines(cutCoords), -1, "", "", kCurrent},
      // [Atoms] in angstrom, closed by the next section, after a frame it differs from; CRLF.
      {"Molden atoms after frames", FT_Molden, Lines(kMolden + "|[GEOMETRIES] XYZ|3|g|O 0 0 0.2|H 0 1 0|H 0 -1 0|[GTO]", "\r\n"), 0, ww, "", kAngs + kFrames, {{0, 0, 2, 0.2f}, {1, 0, 2, 0.119f}}},
      {"Molden atoms are the frame", FT_Molden, Lines(kMolden + "|" + frame), 0, w, "", kAngs + kFrames},
      // Without a following section the rows may be cut short: no structure; a frame cut short neither.
      {"Molden atoms at the end", FT_Molden, Lines(kMolden), -1, "", "", kAngs},
      {"Molden frame cut", FT_Molden, Lines(frame + "3|g|O 0 0 0.2"), 0, w, "", kFrames},
      {"Molden frame cut by a section", FT_Molden, Lines(frame + "3|g|O 0 0 0.2|[GTO]"), 0, w, "", kFrames},
      {"Molden frames of two sizes", FT_Molden, Lines(frame + "1|g|C 0 0 0"), 0, w + "|C1", "", kFrames},
      {"Molden FR-COORD alone", FT_Molden, Lines("[FR-COORD]|o 0 0 0.2|h 0 1.5 -0.9|h 0 -1.5 -0.9|[FR-NORM-COORD]"), 0, w, "O,H,H", kFr, {{0, 0, 2, Bohr(0.2f)}}},
      {"Molden ZMAT and bad row", FT_Molden, Lines("[GEOMETRIES] ZMAT|3|c|" + kWater + "|[FR-COORD]|o 0 0 " + bad + "|[MO]"), -1, "", "", kFr},
  });
  // clang-format on

  const double fchkFinal = -76.4089533421;
  const Carried results[] = {
      {"xtb_water_opt.out", 0, -0.3274, {}, "GFN-FF", "", {}, {}, {}, {}},
      {"xtb_water_opt.out", 1, -0.327656091566, {}, "GFN-FF", "", {}, {}, 0.00026, true},
      {"xtb_ch4_coord.out", 0, -4.175182447, -4.175182447, "GFN2-xTB", "", {}, {}, 0.03, false},
      {"water_opt.fchk", 0, -76.408, {}, "", "Water optimisation", {}, {}, {}, {}},
      {"water_opt.fchk", 1, fchkFinal, fchkFinal, "RB3LYP", "Water optimisation", {}, 1.2e-5, {}, {}},
      {"water_opt.molden", 0, -76.408, {}, "", "step 1", 0.021, 0.012, {}, {}},
      {"water_opt.molden", 1, fchkFinal, {}, "", "step 2", 0.00002, 0.000012, {}, {}},
  };
  for (const Carried& e : results) {
    SCOPED_TRACE(e.what + " " + std::to_string(e.structure));
    const Result r = Load(Fixture(e.what));
    ASSERT_LT(e.structure, r.list.size());
    const vl::Calculation& c = r.list[e.structure]->calculation();
    EXPECT_EQ(c.totalEnergy, e.total);
    EXPECT_EQ(c.scfEnergy, e.scf);
    EXPECT_EQ(c.method, e.method);
    EXPECT_EQ(c.title, e.title);
    EXPECT_EQ(c.convergence.maxForce.value, e.maxForce);
    EXPECT_EQ(c.convergence.rmsForce.value, e.rmsForce);
    EXPECT_EQ(c.convergence.maxDisplacement.value, e.maxStep);
    EXPECT_EQ(c.convergence.converged(), e.converged);
  }
}
