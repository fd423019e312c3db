// Gaussian formatted checkpoints: the basis from the shell arrays (types 0 s,
// 1 p, -1 sp, +l Cartesian, -l pure), the orbitals from the MO arrays, the
// occupations from the electron counts. Contraction coefficients refer to
// normalised primitives, as in the model.
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <set>
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

// A header: the name in columns 1-40, the type letter in column 44, then the
// value or "N=" and the count of an array.
bool IsHeader(std::string_view line)
{
  return line.size() >= 44 && line[0] != ' ' && line.substr(40, 3) == "   " &&
         std::string_view("IRCHL").find(line[43]) != std::string_view::npos && (line.size() == 44 || line[44] == ' ');
}

std::string Trimmed(std::string_view text)
{
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

struct Checkpoint {
  std::map<std::string, std::vector<double>> arrays;
  std::map<std::string, double> scalars;

  const std::vector<double>* array(const std::string& name) const
  {
    const auto it = arrays.find(name);
    return it == arrays.end() ? nullptr : &it->second;
  }
  const std::vector<double>& need(const std::string& name) const
  {
    const auto* a = array(name);
    if (!a)
      Fail("the checkpoint has no '" + name + "' array");
    return *a;
  }
  int count(const std::string& name) const
  {
    const auto it = scalars.find(name);
    if (it == scalars.end() || !(it->second >= 0 && it->second < INT_MAX))
      Fail("the checkpoint gives no '" + name + "'");
    return static_cast<int>(it->second);
  }
};

void ReadCheckpoint(const std::string& file, Checkpoint& c, std::string& title)
{
  static const std::set<std::string> kWanted = {"Atomic numbers",
                                                "Current cartesian coordinates",
                                                "Shell types",
                                                "Number of primitives per shell",
                                                "Shell to atom map",
                                                "Primitive exponents",
                                                "Contraction coefficients",
                                                "P(S=P) Contraction coefficients",
                                                "Alpha Orbital Energies",
                                                "Alpha MO coefficients",
                                                "Beta Orbital Energies",
                                                "Beta MO coefficients"};
  LineReader in(file);
  std::string_view line;
  if (in.next(line))
    title = Trimmed(line);
  std::vector<double>* target = nullptr;
  std::string targetName;
  size_t expected = 0;
  auto close = [&] {
    if (target && target->size() != expected)
      Fail("'" + targetName + "' gives " + std::to_string(target->size()) + " of the " + std::to_string(expected) +
           " values its header promises");
    target = nullptr;
  };
  bool pending = in.next(line);
  while (pending) {
    if (!IsHeader(line)) {
      if (target) {
        for (size_t pos = 0; (pos = line.find_first_not_of(" \t\r", pos)) != std::string_view::npos;) {
          const size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
          const auto value = qcout::ToNumber(line.substr(pos, end - pos));
          if (!value || target->size() == expected)
            Fail("'" + targetName + "': '" + std::string(line.substr(pos, end - pos)) + "' is " +
                 (value ? "more than the header promises" : "no number"));
          target->push_back(*value);
          pos = end;
        }
      }
      pending = in.next(line);
      continue;
    }
    close();
    const std::string name = Trimmed(line.substr(0, 40));
    const char type = line[43];
    const std::string_view rest = line.substr(44);
    const size_t n = rest.find("N=");
    if (n == std::string_view::npos) {
      if (const auto value = qcout::ToNumber(qcout::Word(rest, 0)))
        c.scalars[name] = *value;
      pending = in.next(line);
      continue;
    }
    int count = 0;
    if (!ParseCountLine(rest.substr(n + 2), count) || count < 0)
      Fail("'" + name + "': no count after N=");
    if ((type == 'I' || type == 'R') && kWanted.count(name)) {
      target = &c.arrays[name];
      target->clear();
      targetName = name;
      expected = static_cast<size_t>(count);
      pending = in.next(line);
    } else if (type == 'I' || type == 'R') {
      pending = in.next(line);
    } else {
      // Text lines may look like headers: skip them by their count.
      const size_t perLine = type == 'H' ? 9 : type == 'L' ? 72 : 5;
      const size_t lines = (static_cast<size_t>(count) + perLine - 1) / perLine;
      pending = in.skip(static_cast<int>(std::min<size_t>(lines, INT_MAX))) && in.next(line);
    }
  }
  close();
}

// Gaussian's Cartesian order: d and f as Molden's, g and up from z^l to x^l.
std::vector<Powers> GaussianCartesian(int l)
{
  static const char* const d[] = {"xx", "yy", "zz", "xy", "xz", "yz"};
  static const char* const f[] = {"xxx", "yyy", "zzz", "xyy", "xxy", "xxz", "xzz", "yzz", "yyz", "xyz"};
  std::vector<Powers> out;
  if (l == 2 || l == 3) {
    for (const char* name : l == 2 ? std::vector<const char*>(d, d + 6) : std::vector<const char*>(f, f + 10))
      out.push_back(PowersOf(name));
    return out;
  }
  for (int i = 0; i <= l; ++i)
    for (int j = 0; j <= l - i; ++j)
      out.push_back({i, j, l - i - j});
  if (l <= 1)
    std::reverse(out.begin(), out.end()); // x, y, z
  return out;
}

int Integer(double v, const char* what)
{
  if (!(v >= INT_MIN && v <= INT_MAX) || v != std::floor(v))
    Fail(std::string(what) + ": " + std::to_string(v) + " is no integer");
  return static_cast<int>(v);
}

bool Read(const std::string& file, Wavefunction& w, std::string& error)
{
  Checkpoint c;
  ReadCheckpoint(file, c, w.title);
  const auto& numbers = c.need("Atomic numbers");
  const auto& coordinates = c.need("Current cartesian coordinates");
  if (coordinates.size() != 3 * numbers.size())
    Fail("the checkpoint gives " + std::to_string(coordinates.size()) + " coordinates for " +
         std::to_string(numbers.size()) + " atoms");
  for (size_t a = 0; a < numbers.size(); ++a)
    w.atoms.push_back(
        {Integer(numbers[a], "Atomic numbers"), {coordinates[3 * a], coordinates[3 * a + 1], coordinates[3 * a + 2]}});

  if (!c.array("Alpha MO coefficients"))
    Fail("the checkpoint holds no orbitals ('Alpha MO coefficients')");
  const auto& types = c.need("Shell types");
  const auto& counts = c.need("Number of primitives per shell");
  const auto& atoms = c.need("Shell to atom map");
  const auto& exponents = c.need("Primitive exponents");
  const auto& coefficients = c.need("Contraction coefficients");
  const auto* sp = c.array("P(S=P) Contraction coefficients");
  if (counts.size() != types.size() || atoms.size() != types.size())
    Fail("the shell arrays differ in length");
  if (coefficients.size() != exponents.size() || (sp && sp->size() != exponents.size()))
    Fail("the contraction coefficients and the exponents differ in number");

  // Per file function: where it goes in the model's order.
  std::vector<size_t> target;
  size_t next = 0;
  for (size_t s = 0; s < types.size(); ++s) {
    const int type = Integer(types[s], "Shell types");
    const int nprim = Integer(counts[s], "Number of primitives per shell");
    if (type < -kMaxL || type > kMaxL)
      Fail("shell " + std::to_string(s + 1) + " has type " + std::to_string(type) + " (from " + std::to_string(-kMaxL) +
           " to " + std::to_string(kMaxL) + " are known)");
    if (nprim <= 0 || next + static_cast<size_t>(nprim) > exponents.size())
      Fail("shell " + std::to_string(s + 1) + " has " + std::to_string(nprim) + " primitives, beyond the " +
           std::to_string(exponents.size()) + " exponents");
    if (type == -1 && !sp)
      Fail("an sp shell, but no 'P(S=P) Contraction coefficients'");
    const auto begin = static_cast<std::ptrdiff_t>(next), end = begin + nprim;
    Shell shell;
    shell.atom = Integer(atoms[s], "Shell to atom map") - 1;
    shell.exponents.assign(exponents.begin() + begin, exponents.begin() + end);
    shell.coefficients.assign(coefficients.begin() + begin, coefficients.begin() + end);
    next += static_cast<size_t>(nprim);
    std::vector<Shell> pieces;
    if (type == -1) {
      pieces.push_back(shell);
      pieces.back().l = 0;
      shell.coefficients.assign(sp->begin() + begin, sp->begin() + end);
      shell.l = 1;
      pieces.push_back(shell);
    } else {
      shell.l = std::abs(type);
      shell.pure = type < -1;
      pieces.push_back(shell);
    }
    for (Shell& piece : pieces) {
      const size_t base = target.size();
      if (piece.pure)
        for (int m = 0; m < piece.functions(); ++m)
          target.push_back(base + static_cast<size_t>(m));
      else
        for (const Powers& p : GaussianCartesian(piece.l))
          target.push_back(base + static_cast<size_t>(CartesianIndex(p)));
      w.shells.push_back(std::move(piece));
    }
  }
  const size_t n = target.size();
  if (c.scalars.count("Number of basis functions") && static_cast<size_t>(c.count("Number of basis functions")) != n)
    Fail("the shells make " + std::to_string(n) + " basis functions, the checkpoint says " +
         std::to_string(c.count("Number of basis functions")));

  const int alphaElectrons = c.count("Number of alpha electrons"), betaElectrons = c.count("Number of beta electrons");
  const bool unrestricted = c.array("Beta MO coefficients") != nullptr;
  for (const bool beta : {false, true}) {
    if (beta && !unrestricted)
      break;
    const std::string spin = beta ? "Beta" : "Alpha";
    const auto& mo = c.need(spin + " MO coefficients");
    const auto& energies = c.need(spin + " Orbital Energies");
    if (mo.size() != energies.size() * n)
      Fail("'" + spin + " MO coefficients' has " + std::to_string(mo.size()) + " values, not " +
           std::to_string(energies.size()) + " orbitals of " + std::to_string(n) + " functions");
    auto& set = beta ? w.beta : w.alpha;
    for (size_t k = 0; k < energies.size(); ++k) {
      Orbital o;
      o.energy = energies[k];
      const int i = static_cast<int>(k);
      o.occupation = unrestricted ? (i < (beta ? betaElectrons : alphaElectrons) ? 1 : 0)
                                  : (i < alphaElectrons ? 1 : 0) + (i < betaElectrons ? 1 : 0);
      o.coefficients.assign(n, 0.0);
      for (size_t f = 0; f < n; ++f)
        o.coefficients[target[f]] = mo[k * n + f];
      set.push_back(std::move(o));
    }
  }
  return FinishWavefunction(w, error);
}

} // namespace

bool ReadFchkWavefunction(const std::string& file, Wavefunction& w, std::string& error)
{
  return ReadWhole(w, error, [&] { return Read(file, w, error); });
}

} // namespace orb
