#include "core/chemistry/vibration.h"

#include <cmath>

namespace {

// Standard atomic weights (IUPAC, abridged to four or five figures; the mass
// number of the longest-lived isotope for elements without one).
constexpr double kMasses[] = {
    0,      1.008,  4.0026, 6.94,   9.0122, 10.81,  12.011, 14.007, 15.999, 18.998, 20.180, 22.990, 24.305, 26.982,
    28.085, 30.974, 32.06,  35.45,  39.948, 39.098, 40.078, 44.956, 47.867, 50.942, 51.996, 54.938, 55.845, 58.933,
    58.693, 63.546, 65.38,  69.723, 72.630, 74.922, 78.971, 79.904, 83.798, 85.468, 87.62,  88.906, 91.224, 92.906,
    95.95,  97,     101.07, 102.91, 106.42, 107.87, 112.41, 114.82, 118.71, 121.76, 127.60, 126.90, 131.29, 132.91,
    137.33, 138.91, 140.12, 140.91, 144.24, 145,    150.36, 151.96, 157.25, 158.93, 162.50, 164.93, 167.26, 168.93,
    173.05, 174.97, 178.49, 180.95, 183.84, 186.21, 190.23, 192.22, 195.08, 196.97, 200.59, 204.38, 207.2,  208.98,
    209,    210,    222,    223,    226,    227,    232.04, 231.04, 238.03, 237,    244,    243,    247,    247,
    251,    252,    257,    258,    259,    262,    267,    270,    269,    270,    270,    278,    281,    281,
    285,    286,    289,    289,    293,    293,    294};

} // namespace

double AtomicMass(int atomicNumber)
{
  constexpr int count = static_cast<int>(sizeof kMasses / sizeof kMasses[0]);
  return atomicNumber > 0 && atomicNumber < count ? kMasses[atomicNumber] : 0.0;
}

std::vector<vl::fvec3> CentredDisplacement(const vl::Molecule& structure, const vl::NormalMode& mode)
{
  const int n = structure.atoms();
  if (static_cast<int>(mode.displacement.size()) != n || n == 0)
    return {};
  double total = 0, mean[3] = {0, 0, 0};
  for (int i = 0; i < n; ++i) {
    // An atom of unknown mass (a dummy) weighs nothing.
    const double m = AtomicMass(vl::atomInfo(structure.atom(i)->atomType()).atomicNumber());
    total += m;
    for (int k = 0; k < 3; ++k)
      mean[k] += m * mode.displacement[static_cast<size_t>(i)][k];
  }
  std::vector<vl::fvec3> centred(mode.displacement);
  if (total > 0)
    for (vl::fvec3& d : centred)
      for (int k = 0; k < 3; ++k)
        d[k] = static_cast<float>(d[k] - mean[k] / total);
  return centred;
}

double DefaultAmplitude(const std::vector<vl::fvec3>& displacement, double largest)
{
  double longest = 0;
  for (const vl::fvec3& d : displacement)
    longest = std::max(longest, static_cast<double>(d.length()));
  return longest > 0 && std::isfinite(longest) ? largest / longest : 0.0;
}

std::vector<vl::fvec3> ModePositions(const vl::Molecule& structure, const std::vector<vl::fvec3>& displacement,
                                     double amplitude, double phase)
{
  std::vector<vl::fvec3> positions(static_cast<size_t>(structure.atoms()));
  const float s = static_cast<float>(amplitude * std::sin(phase));
  for (int i = 0; i < structure.atoms(); ++i) {
    const vl::fvec3& x = structure.atom(i)->coordinates();
    positions[static_cast<size_t>(i)] =
        i < static_cast<int>(displacement.size()) ? x + displacement[static_cast<size_t>(i)] * s : x;
  }
  return positions;
}

const vl::Molecule* StructureWithModes(const std::vector<vl::ref<vl::Molecule>>& structures)
{
  for (auto it = structures.rbegin(); it != structures.rend(); ++it)
    if (!(*it)->calculation().modes.empty())
      return it->get();
  return nullptr;
}
