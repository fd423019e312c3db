// Molden files: [Atoms], [GTO] (shells per atom), the pure-function tags
// ([5D], [7F], [9G] ...) and [MO]. Writers differ in how they normalise the
// primitives and the Cartesian functions, and the file does not say which
// way it was written: each known way is tried in turn, and the first that
// makes the orbitals normalised (by analytic overlaps) is taken.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/formats/countline.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/orbitals/basis.h"
#include "core/orbitals/readers.h"

namespace orb {

namespace {

[[noreturn]] void Fail(const std::string& text)
{
  throw std::runtime_error(text);
}

std::string Lower(std::string_view text)
{
  std::string s(text);
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trimmed(std::string_view text)
{
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

double Number(std::string_view word, const std::string& what)
{
  const auto v = qcout::ToNumber(word);
  if (!v)
    Fail(what + ": '" + std::string(word) + "' is no number");
  return *v;
}

// Molden's Cartesian orders (d to g); pure functions come as m = 0, +1, -1, ...
const std::vector<const char*>& MoldenCartesian(int l)
{
  static const std::vector<std::vector<const char*>> orders = {
      {""},
      {"x", "y", "z"},
      {"xx", "yy", "zz", "xy", "xz", "yz"},
      {"xxx", "yyy", "zzz", "xyy", "xxy", "xxz", "xzz", "yzz", "yyz", "xyz"},
      {"xxxx", "yyyy", "zzzz", "xxxy", "xxxz", "xyyy", "yyyz", "xzzz", "yzzz", "xxyy", "xxzz", "yyzz", "xxyz", "xyyz",
       "xyzz"}};
  return orders.at(static_cast<size_t>(l));
}

struct RawShell {
  int atom = 0; // 0-based
  int l = 0;
  std::vector<double> exponents, coefficients;
  double scale = 1; // the exponents are scaled by its square
};

struct RawOrbital {
  Orbital orbital; // coefficients filled by Build
  bool beta = false;
  std::vector<std::pair<long, double>> entries; // 1-based index, value
};

struct Raw {
  std::vector<WfnAtom> atoms;
  std::vector<RawShell> shells;
  std::vector<RawOrbital> orbitals;
  bool pure[kMaxL + 1] = {};
  std::string title;
};

// The conventions of the writers seen in the wild, in the order they are tried.
enum class Way { Standard, Orca, Psi4Old, Turbomole, Cfour, Renormalised, Psi4Cartesian };
const char* WayName(Way w)
{
  switch (w) {
  case Way::Standard:
    return "standard";
  case Way::Orca:
    return "ORCA's (primitive normalisation in the contraction, signs of m = 3, 4)";
  case Way::Psi4Old:
    return "Psi4's before 1.0 (primitive normalisation in the contraction)";
  case Way::Turbomole:
    return "Turbomole's (Cartesian contractions short of sqrt((2l-1)!!))";
  case Way::Cfour:
    return "CFOUR's (every Cartesian function with the norm factor of xy, xyz ...)";
  case Way::Renormalised:
    return "unnormalised contractions, normalised here";
  case Way::Psi4Cartesian:
    return "Psi4's up to 1.3.2 (Cartesian functions normalised as x^l)";
  }
  return "";
}

Powers Axis(int l)
{
  return {l, 0, 0};
}

// The coefficient factor of a primitive in the given writer's way.
double PrimitiveFactor(Way way, int l, bool pure, double exponent)
{
  switch (way) {
  case Way::Orca: {
    static const Powers kOrca[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {2, 1, 1}, {5, 0, 0}};
    if (l <= 1 || (pure && l <= 5))
      return 1 / CartesianNorm(exponent, kOrca[l]);
    return 1;
  }
  case Way::Psi4Old:
    if (l <= 1)
      return 1 / CartesianNorm(exponent, Axis(l));
    if (pure && l == 2)
      return std::sqrt(3.0) / CartesianNorm(exponent, {1, 1, 0});
    if (pure && l == 3)
      return std::sqrt(15.0) / CartesianNorm(exponent, {1, 1, 1});
    return 1;
  case Way::Turbomole:
    return !pure && l >= 2 ? std::sqrt(DoubleFactorial(2 * l - 1)) : 1;
  default:
    return 1;
  }
}

Wavefunction Build(const Raw& raw, Way way)
{
  Wavefunction w;
  w.atoms = raw.atoms;
  w.title = raw.title;
  for (const RawShell& r : raw.shells) {
    Shell s;
    s.atom = r.atom;
    s.l = r.l;
    s.pure = raw.pure[r.l] && r.l >= 2;
    s.exponents = r.exponents;
    for (double& a : s.exponents)
      a *= r.scale * r.scale;
    for (size_t p = 0; p < r.exponents.size(); ++p)
      s.coefficients.push_back(r.coefficients[p] * PrimitiveFactor(way, s.l, s.pure, s.exponents[p]));
    if (way == Way::Renormalised || way == Way::Psi4Cartesian) {
      const double self = ContractionSelfOverlap(s);
      if (self > 0)
        for (double& c : s.coefficients)
          c /= std::sqrt(self);
    }
    w.shells.push_back(std::move(s));
  }
  // Where each file function goes, and its factor.
  std::vector<size_t> target;
  std::vector<double> factor;
  for (const Shell& s : w.shells) {
    const size_t base = target.size();
    if (s.pure) {
      for (int m = 0; m < s.functions(); ++m) {
        target.push_back(base + static_cast<size_t>(m));
        factor.push_back(way == Way::Orca && m >= 5 && m <= 8 ? -1.0 : 1.0);
      }
      continue;
    }
    for (const char* name : MoldenCartesian(s.l)) {
      const Powers p = PowersOf(name);
      target.push_back(base + static_cast<size_t>(CartesianIndex(p)));
      const double product =
          DoubleFactorial(2 * p[0] - 1) * DoubleFactorial(2 * p[1] - 1) * DoubleFactorial(2 * p[2] - 1);
      factor.push_back(way == Way::Cfour           ? std::sqrt(product)
                       : way == Way::Psi4Cartesian ? 1 / ComponentScale(p)
                                                   : 1.0);
    }
  }
  const size_t n = target.size();
  for (size_t k = 0; k < raw.orbitals.size(); ++k) {
    const RawOrbital& r = raw.orbitals[k];
    Orbital o = r.orbital;
    o.coefficients.assign(n, 0.0);
    std::vector<char> seen(n, 0);
    for (const auto& [index, value] : r.entries) {
      if (index < 1 || static_cast<size_t>(index) > n)
        Fail("orbital " + std::to_string(k + 1) + " has a coefficient for function " + std::to_string(index) +
             ", but the basis has " + std::to_string(n));
      const size_t i = static_cast<size_t>(index - 1);
      o.coefficients[target[i]] = value * factor[i];
      seen[i] = 1;
    }
    const size_t given = static_cast<size_t>(std::count(seen.begin(), seen.end(), 1));
    if (given != n)
      Fail("orbital " + std::to_string(k + 1) + " gives " + std::to_string(given) + " of the " + std::to_string(n) +
           " coefficients");
    (r.beta ? w.beta : w.alpha).push_back(std::move(o));
  }
  return w;
}

bool HasCartesianAbove(const Raw& raw, int l)
{
  return std::any_of(raw.shells.begin(), raw.shells.end(),
                     [&](const RawShell& s) { return s.l > l && !(raw.pure[s.l] && s.l >= 2); });
}

enum class Section { Other, Atoms, Gto, Mo };

void ReadRaw(const std::string& file, Raw& raw)
{
  LineReader in(file);
  std::string_view line;
  Section section = Section::Other;
  bool bohr = false;
  std::map<long, int> atomBySequence; // [Atoms] numbers to 0-based atoms
  int gtoAtom = -1;
  RawShell* shell = nullptr; // the shell whose primitives come next
  size_t primitivesLeft = 0;
  RawShell* spPartner = nullptr; // the p half of an sp shell
  RawOrbital* orbital = nullptr;
  bool sawMo = false, sawGto = false;

  while (in.next(line)) {
    const std::string trimmed = Trimmed(line);
    if (!trimmed.empty() && trimmed[0] == '[') {
      if (primitivesLeft > 0)
        Fail("a shell on atom " + std::to_string(gtoAtom + 1) + " lacks " + std::to_string(primitivesLeft) +
             " primitives");
      const std::string tag = Lower(trimmed.substr(0, trimmed.find(']') + 1));
      const std::string argument = Lower(trimmed.substr(std::min(trimmed.size(), tag.size())));
      section = Section::Other;
      if (tag == "[atoms]") {
        section = Section::Atoms;
        bohr = argument.find("au") != std::string::npos;
      } else if (tag == "[gto]") {
        section = Section::Gto;
        sawGto = true;
      } else if (tag == "[mo]") {
        section = Section::Mo;
        sawMo = true;
      } else if (tag == "[sto]") {
        Fail("Slater-type orbitals ([STO]) are not supported");
      } else if (tag == "[5d]" || tag == "[5d7f]") {
        raw.pure[2] = raw.pure[3] = true;
      } else if (tag == "[5d10f]") {
        raw.pure[2] = true;
      } else if (tag == "[7f]") {
        raw.pure[3] = true;
      } else if (tag == "[9g]") {
        for (int l = 4; l <= kMaxL; ++l)
          raw.pure[l] = true;
      } else if (tag == "[title]") {
        if (in.next(line))
          raw.title = Trimmed(line);
      }
      continue;
    }
    if (trimmed.empty()) {
      if (primitivesLeft > 0)
        Fail("a shell on atom " + std::to_string(gtoAtom + 1) + " lacks " + std::to_string(primitivesLeft) +
             " primitives");
      continue;
    }
    const std::string context = "line '" + trimmed + "'";
    switch (section) {
    case Section::Atoms: {
      // label, number, atomic number, x, y, z
      WfnAtom atom;
      int z = 0;
      if (!ParseCountLine(qcout::Word(trimmed, 2), z) || qcout::Word(trimmed, 5).empty())
        Fail("[Atoms]: " + context + " is no atom line");
      atom.atomicNumber = z;
      for (size_t axis = 0; axis < 3; ++axis) {
        const double v = Number(qcout::Word(trimmed, static_cast<int>(axis) + 3), "[Atoms]");
        atom.position[axis] = bohr ? v : v / 0.52917721067;
      }
      int sequence = 0;
      if (ParseCountLine(qcout::Word(trimmed, 1), sequence))
        atomBySequence.emplace(sequence, static_cast<int>(raw.atoms.size()));
      raw.atoms.push_back(atom);
      break;
    }
    case Section::Gto: {
      if (primitivesLeft > 0) {
        const double exponent = Number(qcout::Word(trimmed, 0), "[GTO] exponent");
        shell->exponents.push_back(exponent);
        shell->coefficients.push_back(Number(qcout::Word(trimmed, 1), "[GTO] coefficient"));
        if (spPartner) {
          spPartner->exponents.push_back(exponent);
          spPartner->coefficients.push_back(Number(qcout::Word(trimmed, 2), "[GTO] sp coefficient"));
        }
        --primitivesLeft;
        break;
      }
      const std::string first = Lower(qcout::Word(trimmed, 0));
      if (std::isdigit(static_cast<unsigned char>(first[0]))) {
        int sequence = 0;
        if (!ParseCountLine(first, sequence))
          Fail("[GTO]: " + context + " names no atom");
        const auto it = atomBySequence.find(sequence);
        gtoAtom = it != atomBySequence.end() ? it->second : sequence - 1;
        break;
      }
      static const std::string kLabels = "spdfghi";
      int count = 0;
      const bool sp = first == "sp" || first == "l";
      const size_t l = sp ? 0 : first.size() == 1 ? kLabels.find(first[0]) : std::string::npos;
      if (l == std::string::npos || l > static_cast<size_t>(kMaxL) || !ParseCountLine(qcout::Word(trimmed, 1), count) ||
          count <= 0)
        Fail("[GTO]: " + context + " is no shell line (a label s, p, sp, d ... " + std::string(1, kLabels.back()) +
             " and a count of primitives)");
      if (gtoAtom < 0)
        Fail("[GTO]: a shell comes before its atom's number");
      const auto scale = qcout::ToNumber(qcout::Word(trimmed, 2));
      const double factor = scale && *scale > 0 ? *scale : 1.0;
      raw.shells.push_back({gtoAtom, static_cast<int>(l), {}, {}, factor});
      spPartner = nullptr;
      if (sp) {
        raw.shells.push_back({gtoAtom, 1, {}, {}, factor});
        spPartner = &raw.shells.back();
      }
      shell = &raw.shells[raw.shells.size() - (sp ? 2 : 1)];
      primitivesLeft = static_cast<size_t>(count);
      break;
    }
    case Section::Mo: {
      const size_t equals = trimmed.find('=');
      if (equals != std::string::npos) {
        if (!orbital || !orbital->entries.empty()) {
          raw.orbitals.emplace_back();
          orbital = &raw.orbitals.back();
        }
        const std::string key = Lower(Trimmed(trimmed.substr(0, equals)));
        const std::string value = Trimmed(trimmed.substr(equals + 1));
        if (key == "ene")
          orbital->orbital.energy = Number(qcout::Word(value, 0), "[MO] Ene=");
        else if (key == "occup")
          orbital->orbital.occupation = Number(qcout::Word(value, 0), "[MO] Occup=");
        else if (key == "spin")
          orbital->beta = Lower(value).rfind("beta", 0) == 0;
        else if (key == "sym")
          orbital->orbital.symmetry = value;
        break;
      }
      int index = 0;
      if (!orbital || !ParseCountLine(qcout::Word(trimmed, 0), index) || qcout::Word(trimmed, 1).empty())
        Fail("[MO]: " + context + " is neither a keyword line nor 'number coefficient'");
      orbital->entries.emplace_back(index, Number(qcout::Word(trimmed, 1), "[MO] coefficient"));
      break;
    }
    case Section::Other:
      break;
    }
  }
  if (primitivesLeft > 0)
    Fail("the file ends inside a shell of atom " + std::to_string(gtoAtom + 1));
  if (!sawGto || !sawMo)
    Fail("the Molden file gives no orbitals (no [GTO] and [MO] sections)");
  for (const RawShell& s : raw.shells)
    if (!(raw.pure[s.l] && s.l >= 2) && s.l > 4)
      Fail("Molden files define no order for Cartesian functions above g");
  for (const RawOrbital& o : raw.orbitals)
    if (o.entries.empty())
      Fail("an orbital in [MO] has no coefficients");
}

bool Read(const std::string& file, Wavefunction& w, std::string& error)
{
  Raw raw;
  ReadRaw(file, raw);
  const Way ways[] = {Way::Standard, Way::Orca,         Way::Psi4Old,      Way::Turbomole,
                      Way::Cfour,    Way::Renormalised, Way::Psi4Cartesian};
  double best = HUGE_VAL;
  for (Way way : ways) {
    // Ways that differ from the standard only in Cartesian d and up.
    const bool cartesianOnly = way == Way::Turbomole || way == Way::Cfour || way == Way::Psi4Cartesian;
    if (way != Way::Standard && cartesianOnly && !HasCartesianAbove(raw, 1))
      continue;
    Wavefunction candidate = Build(raw, way);
    std::string problem;
    if (!FinishWavefunction(candidate, problem)) {
      error = problem;
      return false;
    }
    const double worst = LargestNormError(candidate);
    if (worst < best) {
      best = worst;
      w = std::move(candidate);
      w.note = std::string("Molden conventions: ") + WayName(way);
    }
    if (worst <= 1e-4)
      return true;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3g", best);
  w.note += std::string("; no known conventions make the orbitals normalised (largest error ") + text + ")";
  return true;
}

} // namespace

bool ReadMoldenWavefunction(const std::string& file, Wavefunction& w, std::string& error)
{
  return ReadWhole(w, error, [&] { return Read(file, w, error); });
}

} // namespace orb
