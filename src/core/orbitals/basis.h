#pragma once
// Gaussian basis arithmetic shared by the readers and the grid: normalisation
// constants, the Cartesian and pure function sets of a shell, and orbitals
// rewritten as sums of Cartesian Gaussians (for evaluation and for the
// analytic norms that tell a Molden writer's conventions apart).
#include <array>
#include <string_view>
#include <vector>

#include "core/model/wavefunction.h"

namespace orb {

// Highest angular momentum a shell may have (i functions).
constexpr int kMaxL = 6;

using Powers = std::array<int, 3>; // x, y, z exponents of x^i y^j z^k

// n!!, 1 for n <= 0.
double DoubleFactorial(int n);

// N(a, l) of wavefunction.h: the factor that normalises x^l exp(-a r^2).
double PrimitiveNorm(double exponent, int l);

// The factor that normalises x^i y^j z^k exp(-a r^2) on its own.
double CartesianNorm(double exponent, const Powers& p);

// The Cartesian functions of angular momentum l in the model's order.
const std::vector<Powers>& CartesianPowers(int l);

// Position of p in CartesianPowers(p[0] + p[1] + p[2]).
int CartesianIndex(const Powers& p);

// Powers from a name such as "xxy" ("" is s).
Powers PowersOf(std::string_view name);

// Scale from N(a, l) x^i y^j z^k to the unit-norm function:
// sqrt((2l-1)!! / ((2i-1)!! (2j-1)!! (2k-1)!!)).
double ComponentScale(const Powers& p);

// The pure functions of angular momentum l (rows, m = 0, +1, -1, ...) as
// combinations of N(a, l) x^i y^j z^k (columns in CartesianPowers order).
const std::vector<std::vector<double>>& PureToCartesian(int l);

// Powers of a WFN primitive type (1-56); false for any other type.
bool WfnTypePowers(int type, Powers& p);

// Orbitals as sums over groups of Gaussians that share a centre and a set of
// exponents: value(r) = sum over groups of
//   (sum_p weight[p] exp(-alpha[p] |r - centre|^2)) * sum_m coef[o][m] x^i y^j z^k.
struct Expansion {
  struct Group {
    std::array<double, 3> centre{};
    std::vector<double> alpha, weight;
    std::vector<Powers> powers;
    int lmax = 0;
    std::vector<double> coef; // orbital-major: coef[o * powers.size() + m]
  };
  std::vector<Group> groups;
  size_t orbitals = 0;
};

// The expansion of the given orbitals (coefficients over w's basis).
Expansion Expand(const Wavefunction& w, const std::vector<const Orbital*>& orbitals);

// <phi_o|phi_o> for each orbital of the expansion, computed analytically.
std::vector<double> Norms(const Expansion& e);

// The largest |<phi|phi> - 1| over the orbitals of both spins (at most
// `sample` of each, spread over the set).
double LargestNormError(const Wavefunction& w, size_t sample = 64);

// <phi|phi> of the shell's contraction with its coefficients as they stand
// (1 for a normalised contraction).
double ContractionSelfOverlap(const Shell& shell);

} // namespace orb
