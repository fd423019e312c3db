// The wave function of a file: the reader of its format, then the checks
// and the ordering every reader's result gets.
#include <algorithm>
#include <cmath>

#include "core/formats/format.h"
#include "core/orbitals/basis.h"
#include "core/orbitals/readers.h"

namespace orb {

namespace {

bool Finite(const std::vector<double>& values)
{
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

std::string Check(const Wavefunction& w)
{
  if (w.atoms.empty())
    return "the file gives no atoms";
  const int atoms = static_cast<int>(w.atoms.size());
  for (const WfnAtom& a : w.atoms)
    if (!Finite({a.position.begin(), a.position.end()}))
      return "an atom's position is no number";
  for (size_t s = 0; s < w.shells.size(); ++s) {
    const Shell& shell = w.shells[s];
    const std::string which = "shell " + std::to_string(s + 1);
    if (shell.atom < 0 || shell.atom >= atoms)
      return which + " lies on atom " + std::to_string(shell.atom + 1) + ", but there are " + std::to_string(atoms);
    if (shell.l < 0 || shell.l > kMaxL)
      return which + " has angular momentum " + std::to_string(shell.l) + " (at most " + std::to_string(kMaxL) +
             " is supported)";
    if (shell.exponents.empty() || shell.exponents.size() != shell.coefficients.size())
      return which + " has no primitives";
    for (double a : shell.exponents)
      if (!(a > 0) || !std::isfinite(a))
        return which + " has the exponent " + std::to_string(a) + " (exponents must be positive)";
    if (!Finite(shell.coefficients))
      return which + " has a contraction coefficient that is no number";
  }
  for (size_t q = 0; q < w.primitives.size(); ++q) {
    const Primitive& p = w.primitives[q];
    Powers powers{};
    const std::string which = "primitive " + std::to_string(q + 1);
    if (p.atom < 0 || p.atom >= atoms)
      return which + " lies on centre " + std::to_string(p.atom + 1) + ", but there are " + std::to_string(atoms);
    if (!WfnTypePowers(p.type, powers))
      return which + " has type " + std::to_string(p.type) + " (types 1 to 56 are defined)";
    if (!(p.exponent > 0) || !std::isfinite(p.exponent))
      return which + " has the exponent " + std::to_string(p.exponent) + " (exponents must be positive)";
  }
  const size_t n = w.basisSize();
  if (n == 0)
    return "the file gives no basis functions";
  if (w.alpha.empty())
    return "the file gives no orbitals";
  for (const auto* set : {&w.alpha, &w.beta})
    for (size_t k = 0; k < set->size(); ++k) {
      const Orbital& o = (*set)[k];
      const std::string which = std::string(set == &w.beta ? "beta" : "alpha") + " orbital " + std::to_string(k + 1);
      if (o.coefficients.size() != n)
        return which + " has " + std::to_string(o.coefficients.size()) + " coefficients for " + std::to_string(n) +
               " basis functions";
      if (!Finite(o.coefficients) || !std::isfinite(o.energy) || !std::isfinite(o.occupation))
        return which + " has a value that is no number";
    }
  return {};
}

void SortByEnergy(std::vector<Orbital>& set)
{
  const bool allEqual =
      std::all_of(set.begin(), set.end(), [&](const Orbital& o) { return o.energy == set.front().energy; });
  if (!allEqual)
    std::stable_sort(set.begin(), set.end(), [](const Orbital& a, const Orbital& b) { return a.energy < b.energy; });
}

} // namespace

bool FinishWavefunction(Wavefunction& w, std::string& error)
{
  error = Check(w);
  if (!error.empty())
    return false;
  SortByEnergy(w.alpha);
  SortByEnergy(w.beta);
  return true;
}

bool ReadWavefunction(const std::string& file, Wavefunction& w, std::string& error)
{
  w = Wavefunction();
  const Detection d = DetectFormat(file);
  bool (*read)(const std::string&, Wavefunction&, std::string&) = nullptr;
  switch (d.code) {
  case FT_Wfn:
    read = ReadWfnWavefunction;
    break;
  case FT_Molden:
    read = ReadMoldenWavefunction;
    break;
  case FT_Fchk:
    read = ReadFchkWavefunction;
    break;
  default:
    error = "the file holds no orbitals: they are read from WFN, Molden and Gaussian formatted checkpoint files";
    if (d.format)
      error += ", and this is a " + std::string(d.format->name);
    return false;
  }
  return read(file, w, error); // each reader guards itself
}

} // namespace orb
