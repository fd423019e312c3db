// Normal modes of Gaussian, GAMESS, CFOUR, formatted checkpoint and Molden files, whole, altered and cut short.
#include <cmath>
#include <fstream>
#include <sstream>

#include "qcout_testutil.h"

using namespace qctest;

namespace {

std::string Text(const std::string& fixture)
{
  std::ostringstream text;
  text << std::ifstream(Fixture(fixture), std::ios::binary).rdbuf();
  return text.str();
}

// `text` with `from` (which must occur) replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
  const size_t at = text.find(from);
  return at == std::string::npos ? "" : text.replace(at, from.size(), to);
}

// `text` up to and with `lines` lines after the first line holding `marker`.
std::string Cut(const std::string& text, const std::string& marker, int lines)
{
  size_t at = text.find(marker);
  for (int n = 0; at != std::string::npos && n <= lines; ++n)
    at = text.find('\n', at + 1);
  return at == std::string::npos ? "" : text.substr(0, at + 1);
}

// Water's bend as the fixtures' programs computed it, x y z per atom in the standard orientation.
const std::vector<float> kBend = {0, 0, 0.07094f, 0, 0.42578f, -0.56295f, 0, -0.42578f, -0.56295f};
// The same turned into the input orientation of water_freq.log: (x, y, z) -> (x, -z, y).
const std::vector<float> kBendInput = {0, -0.07094f, 0, 0, 0.56295f, 0.42578f, 0, 0.56295f, -0.42578f};

struct ModesCase {
  std::string what;
  int format;
  std::string text;
  std::vector<double> frequencies;
  std::vector<double> ir = {};       // empty: none read
  double raman = -1;                 // the first mode's; -1: none
  std::vector<float> firstMode = {}; // the first mode's displacement, up to scale
  float exactY = 0;                  // the first mode's first atom's y, exactly (when firstMode is given)
};

} // namespace

TEST(NormalModes, EachProgramsModesGoToTheirStructureAlignedToItsAtoms)
{
  const std::string log = Text("water_freq.log"), gamess = Text("water_freq.gamout"), c4 = Text("water_freq.c4");
  const std::string fchk = Text("water_freq.fchk"), molden = Text("water_freq.molden");
  const size_t precise = log.find(" Harmonic"), standard = log.find(" Harmonic", precise + 1);
  const std::string standardOnly = log.substr(0, precise) + log.substr(standard);
  const std::vector<double> water = {1713.1203, 3727.356, 3849.4162}, rounded = {1713.12, 3727.36, 3849.42};
  const std::vector<double> ir = {75.144, 1.4437, 18.4935};
  const ModesCase cases[] = {
      // HPModes preferred to the standard table, turned from the standard into the input orientation.
      {"gaussian", FT_Gaussian, log, water, ir, -1, kBendInput, -0.07094f},
      {"gaussian standard table", FT_Gaussian, standardOnly, water, ir, -1, kBendInput, -0.07f},
      // With no input orientation the structure and the modes share the standard one.
      {"gaussian standard orientation", FT_Gaussian, Replaced(log, "Input orientation:", "Input"), water, ir, -1, kBend,
       0},
      {"gaussian cut in HPModes", FT_Gaussian, Cut(log, "Coord Atom Element", 4), {}},
      {"gaussian cut in the standard table", FT_Gaussian, Cut(log, "Atom  AN", 1), water, ir},
      {"gaussian row one column short", FT_Gaussian, Replaced(standardOnly, "0.07     0.00", "0.07"), {}},
      // "I" marks an imaginary mode; modes 2 to 7 are rotations and translations. IR in D^2/(amu A^2).
      {"gamess",
       FT_Gamess,
       gamess,
       {-2170.38, 3819.19, 3929.67},
       {64.3856, 3.0889, 18.4913},
       -1,
       {0, 0.06763f, 0, 0, -0.53671f, 0.41777f, 0, -0.53671f, -0.41777f},
       0.06763141f},
      {"gamess cut in the second block", FT_Gamess, Cut(gamess, "25.94", 8), {-2170.38}, {64.3856}},
      {"gamess row one column short",
       FT_Gamess,
       Replaced(gamess, "0.38224000 -0.41777103", "0.38224000"),
       {-2170.38},
       {64.3856}},
      // Mass-weighted normal coordinates made displacements; intensities from the table, matched by frequency.
      {"cfour", FT_Cfour, c4, rounded, ir, -1, kBend, 0},
      {"cfour imaginary",
       FT_Cfour,
       Replaced(c4, "1713.12 ", "1713.12i"),
       {-1713.12, 3727.36, 3849.42},
       {0, 1.4437, 18.4935}},
      {"cfour cut in the rows", FT_Cfour, Cut(c4, "VIBRATION                 VIBRATION", 1), {}},
      {"fchk", FT_Fchk, fchk, {-1713.1203, 3727.356, 3849.4162}, ir, 0.5486, kBend, 0},
      {"fchk cut in Vib-Modes", FT_Fchk, Cut(fchk, "Vib-Modes", 2), {}},
      {"molden", FT_Molden, molden, {-1713.12, 3727.36, 3849.42}, ir, -1, kBend, 0},
      {"molden cut in the third vibration", FT_Molden, Cut(molden, "vibration      3", 2), {-1713.12, 3727.36}},
      // Modes only for a structure with the atoms of [FR-COORD].
      {"molden other atoms", FT_Molden, Replaced(molden, "h      0.000000    -1", "o      0.000000    -1"), {}},
  };
  for (const ModesCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(c.text.empty());
    const Result r = ReadText(c.format, c.text);
    ASSERT_EQ(r.rc, 0);
    const auto& modes = r.list.back()->calculation().modes;
    ASSERT_EQ(modes.size(), c.frequencies.size());
    for (size_t m = 0; m < modes.size(); ++m) {
      EXPECT_NEAR(modes[m].frequency, c.frequencies[m], 1e-4);
      EXPECT_EQ(modes[m].irIntensity.has_value(), !c.ir.empty() && c.ir[m] != 0);
      EXPECT_NEAR(modes[m].irIntensity.value_or(0), c.ir.empty() ? 0 : c.ir[m], 1e-4);
      ASSERT_EQ(modes[m].displacement.size(), static_cast<size_t>(r.list.back()->atoms()));
    }
    EXPECT_EQ(modes.empty() || !modes[0].ramanActivity ? -1 : *modes[0].ramanActivity, c.raman);
    if (c.firstMode.empty())
      continue;
    double dot = 0, mine = 0, theirs = 0;
    for (size_t i = 0; i < c.firstMode.size(); ++i) {
      const float v = modes[0].displacement[i / 3][static_cast<int>(i % 3)];
      dot += v * c.firstMode[i], mine += v * v, theirs += c.firstMode[i] * c.firstMode[i];
    }
    EXPECT_GT(dot / std::sqrt(mine * theirs), 0.9999);
    if (c.exactY != 0) {
      EXPECT_NEAR(modes[0].displacement[0][1], c.exactY, 1e-5);
    }
  }
}
