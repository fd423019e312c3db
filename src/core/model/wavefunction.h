#pragma once
// A wave function as read from a WFN, Molden or formatted-checkpoint file:
// the atoms, the basis (contracted shells, or for WFN loose primitives) and
// the molecular orbitals. Lengths are in bohr, energies in hartree.
//
// Basis conventions, the same whatever file the data came from (the readers
// convert to them):
// - A shell's functions share its contraction: sum over p of
//   coefficients[p] * N(exponents[p], l) * exp(-exponents[p] r^2), where
//   N(a, l) = (2a/pi)^(3/4) (4a)^(l/2) / sqrt((2l-1)!!) normalises x^l exp(-a r^2).
// - Cartesian shells: the (l+1)(l+2)/2 functions x^i y^j z^k in the order of
//   CartesianPowers(l) (i from l down to 0, then j from l-i down to 0), each
//   scaled to unit norm on its own.
// - Pure shells: 2l+1 real solid harmonics, m = 0, +1, -1, +2, -2, ...
//   (cos-type for +m, sin-type for -m, no Condon-Shortley phase), each of unit norm.
// - WFN primitives are not normalised: x^i y^j z^k exp(-a r^2) as they stand,
//   their normalisation being in the orbital coefficients.
#include <array>
#include <string>
#include <vector>

namespace orb {

struct WfnAtom {
  int atomicNumber = 0;
  std::array<double, 3> position{}; // bohr
};

struct Shell {
  int atom = 0; // 0-based index into Wavefunction::atoms
  int l = 0;
  bool pure = false;
  std::vector<double> exponents;
  std::vector<double> coefficients; // one per exponent, see above
  int functions() const { return pure ? 2 * l + 1 : (l + 1) * (l + 2) / 2; }
};

// One WFN primitive: type 1 s, 2-4 p, 5-10 d, 11-20 f, 21-35 g, 36-56 h, in
// the WFN (AIMPAC) order; see WfnTypePowers().
struct Primitive {
  int atom = 0;
  int type = 1;
  double exponent = 0;
};

struct Orbital {
  double energy = 0;                // hartree
  double occupation = 0;            // electrons: up to 2 in a restricted set, 1 in a spin set
  std::string symmetry;             // as the file labels it; may be empty
  std::vector<double> coefficients; // over the basis functions (or WFN primitives)
};

enum class Spin { Alpha, Beta };

struct Wavefunction {
  std::vector<WfnAtom> atoms;
  std::vector<Shell> shells;         // Molden and fchk
  std::vector<Primitive> primitives; // WFN; shells are then empty
  std::vector<Orbital> alpha;        // all orbitals of a restricted wave function
  std::vector<Orbital> beta;         // empty when restricted
  std::string title;
  std::string note; // how the reader read the file's conventions, for the log; may be empty

  bool restricted() const { return beta.empty(); }
  const std::vector<Orbital>& orbitals(Spin spin) const { return spin == Spin::Beta && !restricted() ? beta : alpha; }
  // Functions the orbital coefficients run over.
  size_t basisSize() const
  {
    if (!primitives.empty())
      return primitives.size();
    size_t n = 0;
    for (const Shell& s : shells)
      n += static_cast<size_t>(s.functions());
    return n;
  }
};

} // namespace orb
