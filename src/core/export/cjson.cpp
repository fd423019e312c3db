// One Chemical JSON document (Avogadro 2 opens it): the last structure with its
// bonds, every structure's coordinates as a trajectory, the energies, and the
// basis and orbitals of a wave function given with the structures.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/export/writers.h"
#include "core/formats/comment.h"
#include "core/formats/textout.h"
#include "core/model/wavefunction.h"
#include "core/orbitals/basis.h"
#include "core/orbitals/grid.h"

namespace {

// The shortest text that reads back as the same value, so coordinates keep the
// figures the file gave. JSON has no NaN or infinity: those become null.
template <typename T> void number(textout::Output& out, T v, bool real = false)
{
  if (!std::isfinite(v)) {
    out.text("null");
    return;
  }
  char buf[64];
  const char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  const std::string_view text(buf, static_cast<size_t>(end - buf));
  out.text(text);
  // Avogadro stores "-76" as an integer property; an energy must stay a real number.
  if (real && text.find_first_of(".e") == std::string_view::npos)
    out.text(".0");
}

// Length of the well-formed UTF-8 sequence at s[i], 0 when the bytes are not one.
size_t utf8Length(std::string_view s, size_t i)
{
  const auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  const unsigned c = at(i);
  unsigned lo = 0x80, hi = 0xBF; // the second byte's range excludes overlong forms, surrogates and > U+10FFFF
  size_t n = 0;
  if (c < 0x80)
    return 1;
  if (c >= 0xC2 && c <= 0xDF)
    n = 2;
  else if (c >= 0xE0 && c <= 0xEF)
    n = 3, lo = c == 0xE0 ? 0xA0 : lo, hi = c == 0xED ? 0x9F : hi;
  else if (c >= 0xF0 && c <= 0xF4)
    n = 4, lo = c == 0xF0 ? 0x90 : lo, hi = c == 0xF4 ? 0x8F : hi;
  if (n == 0 || at(i + 1) < lo || at(i + 1) > hi)
    return 0;
  for (size_t k = 2; k < n; ++k)
    if ((at(i + k) & 0xC0) != 0x80)
      return 0;
  return n;
}

// A JSON string. Titles come from arbitrary files: control characters are
// escaped and bytes that are not UTF-8 become U+FFFD, so the document stays valid.
void quoted(textout::Output& out, std::string_view s)
{
  out.ch('"');
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = utf8Length(s, i);
    if (n == 0) {
      out.text("\\ufffd");
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out.ch('\\').ch(static_cast<char>(c));
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out.text(buf);
    } else {
      out.text(s.substr(i, n));
    }
    i += n;
  }
  out.ch('"');
}

void coordinates(textout::Output& out, const vl::Molecule& m)
{
  out.ch('[');
  for (int i = 0; i < m.atoms(); ++i)
    for (int axis = 0; axis < 3; ++axis) {
      if (i || axis)
        out.text(", ");
      number(out, m.atom(i)->coordinates()[axis]);
    }
  out.ch(']');
}

// The last structure's title, else the file's name without its folders.
std::string nameOf(const vl::Molecule& last, const std::string& source)
{
  std::string name = TitleText(last.calculation().title);
  return name.empty() ? source.substr(source.find_last_of('/') + 1) : name;
}

std::optional<double> energyOf(const vl::Molecule& m)
{
  const std::optional<double>& e = m.calculation().totalEnergy;
  return e && std::isfinite(*e) ? e : std::nullopt;
}

// Avogadro's order of a Cartesian shell's functions (that of Molden files);
// its pure shells run m = 0, +1, -1, +2, -2 ... as the model's do.
const std::vector<orb::Powers>& AvogadroCartesian(int l)
{
  static const std::vector<std::vector<orb::Powers>> orders = [] {
    const std::vector<std::vector<const char*>> names = {
        {""},
        {"x", "y", "z"},
        {"xx", "yy", "zz", "xy", "xz", "yz"},
        {"xxx", "yyy", "zzz", "xyy", "xxy", "xxz", "xzz", "yzz", "yyz", "xyz"},
        {"xxxx", "yyyy", "zzzz", "xxxy", "xxxz", "xyyy", "yyyz", "xzzz", "yzzz", "xxyy", "xxzz", "yyzz", "xxyz", "xyyz",
         "xyzz"}};
    std::vector<std::vector<orb::Powers>> t;
    for (const auto& shell : names) {
      t.emplace_back();
      for (const char* name : shell)
        t.back().push_back(orb::PowersOf(name));
    }
    return t;
  }();
  return orders.at(static_cast<size_t>(l));
}

// Where Avogadro's function f of the shell is in the model's order.
size_t modelIndex(const orb::Shell& shell, int f)
{
  if (shell.pure && shell.l >= 2)
    return static_cast<size_t>(f);
  if (shell.pure) // a pure p shell runs z, x, y; Avogadro's p is Cartesian
    return static_cast<size_t>(shell.l == 1 ? (f + 1) % 3 : 0);
  return static_cast<size_t>(orb::CartesianIndex(AvogadroCartesian(shell.l)[static_cast<size_t>(f)]));
}

// Avogadro's highest shell: it drops h and up, and with them the place of
// every later primitive.
constexpr int kAvogadroMaxL = 4;

template <typename T, typename F> void list(textout::Output& out, const std::vector<T>& items, F write)
{
  out.ch('[');
  for (size_t k = 0; k < items.size(); ++k) {
    out.text(k ? ", " : "");
    write(items[k]);
  }
  out.ch(']');
}

// One spin's orbitals: "energies", "occupations" and "moCoefficients", or
// with a prefix "alphaEnergies" ... "alphaCoefficients".
void orbitals(textout::Output& out, const orb::Wavefunction& w, const std::vector<orb::Orbital>& set,
              const std::string& spin)
{
  auto key = [&](const char* lower, const char* upper) {
    out.text(",\n    \"").text(spin.empty() ? lower : spin + upper).text("\": ");
  };
  // Avogadro lists orbital energies in eV, as its own readers convert them.
  key("energies", "Energies");
  list(out, set, [&](const orb::Orbital& o) { number(out, o.energy * orb::kHartreeToEv, true); });
  // Avogadro keeps whole electrons per orbital.
  key("occupations", "Occupations");
  list(out, set, [&](const orb::Orbital& o) { out.integer(std::max(0L, std::lround(o.occupation))); });
  // Orbital after orbital, each over the functions in Avogadro's order.
  key("moCoefficients", "Coefficients");
  out.ch('[');
  for (size_t k = 0; k < set.size(); ++k) {
    const std::vector<double>& c = set[k].coefficients;
    out.text(k ? ",\n      " : "\n      ");
    size_t offset = 0;
    bool first = true;
    for (const orb::Shell& shell : w.shells) {
      for (int f = 0; f < shell.functions(); ++f) {
        out.text(first ? "" : ", ");
        number(out, c[offset + modelIndex(shell, f)]);
        first = false;
      }
      offset += static_cast<size_t>(shell.functions());
    }
  }
  out.text("\n    ]");
}

void basisAndOrbitals(textout::Output& out, const orb::Wavefunction& w)
{
  std::vector<double> exponents, coefficients;
  for (const orb::Shell& s : w.shells) {
    exponents.insert(exponents.end(), s.exponents.begin(), s.exponents.end());
    coefficients.insert(coefficients.end(), s.coefficients.begin(), s.coefficients.end());
  }
  const auto real = [&](double v) { number(out, v); };
  out.text(",\n  \"basisSet\": {\n    \"shellTypes\": ");
  // Gaussian's numbering: l, negative for a pure shell above p.
  list(out, w.shells, [&](const orb::Shell& s) { out.integer(s.pure && s.l >= 2 ? -s.l : s.l); });
  out.text(",\n    \"shellToAtomMap\": ");
  list(out, w.shells, [&](const orb::Shell& s) { out.integer(s.atom); });
  out.text(",\n    \"primitivesPerShell\": ");
  list(out, w.shells, [&](const orb::Shell& s) { out.integer(static_cast<long long>(s.exponents.size())); });
  // Contraction coefficients of normalised primitives, Avogadro's as the model's.
  out.text(",\n    \"exponents\": ");
  list(out, exponents, real);
  out.text(",\n    \"coefficients\": ");
  list(out, coefficients, real);

  double electrons = 0;
  for (const auto* set : {&w.alpha, &w.beta})
    for (const orb::Orbital& o : *set)
      electrons += o.occupation;
  out.text("\n  },\n  \"orbitals\": {\n    \"electronCount\": ").integer(std::max(0L, std::lround(electrons)));
  if (w.restricted()) {
    orbitals(out, w, w.alpha, "");
  } else {
    orbitals(out, w, w.alpha, "alpha");
    orbitals(out, w, w.beta, "beta");
  }
  out.text("\n  }");
}

} // namespace

std::string CjsonOrbitalProblem(const orb::Wavefunction& w, const StructureList& structures)
{
  if (w.shells.empty())
    return "the wave function has loose primitives, not the contracted shells Avogadro reads";
  for (const orb::Shell& s : w.shells)
    if (s.l > kAvogadroMaxL)
      return "Avogadro reads shells up to g, and the basis has l = " + std::to_string(s.l);
  if (structures.empty())
    return "there is no structure";
  const vl::Molecule& last = *structures.back();
  if (static_cast<size_t>(last.atoms()) != w.atoms.size())
    return "the last structure has " + std::to_string(last.atoms()) + " atoms, the wave function " +
           std::to_string(w.atoms.size());
  for (int i = 0; i < last.atoms(); ++i) {
    const orb::WfnAtom& a = w.atoms[static_cast<size_t>(i)];
    const std::string which = "atom " + std::to_string(i + 1);
    if (vl::atomInfo(last.atom(i)->atomType()).atomicNumber() != a.atomicNumber)
      return which + " of the last structure is not the wave function's element";
    // Avogadro places the shells on the document's atoms.
    for (int axis = 0; axis < 3; ++axis)
      if (!(std::fabs(last.atom(i)->coordinates()[axis] - a.position[static_cast<size_t>(axis)] * 0.52917721067) <=
            1e-3))
        return which + " of the last structure is not where the wave function has it";
  }
  return {};
}

void WriteCjson(std::FILE* file, const StructureList& structures, const std::string& source)
{
  WriteCjsonWithOrbitals(file, structures, source, nullptr);
}

void WriteCjsonWithOrbitals(std::FILE* file, const StructureList& structures, const std::string& source,
                            const orb::Wavefunction* wavefunction)
{
  if (structures.empty())
    return;
  textout::Output out(file);
  const vl::Molecule& last = *structures.back();

  out.text("{\n  \"chemicalJson\": 1,\n  \"name\": ");
  quoted(out, nameOf(last, source));
  // Avogadro refuses negative atomic numbers; 0 is its dummy atom.
  out.text(",\n  \"atoms\": {\n    \"elements\": {\"number\": [");
  for (int i = 0; i < last.atoms(); ++i) {
    const int z = vl::atomInfo(last.atom(i)->atomType()).atomicNumber();
    out.text(i ? ", " : "").integer(z < 0 ? 0 : z);
  }
  out.text("]},\n    \"coords\": {\n      \"3d\": ");
  coordinates(out, last);
  out.text(",\n      \"3dSets\": [");
  for (size_t k = 0; k < structures.size(); ++k) {
    out.text(k ? ",\n        " : "\n        ");
    coordinates(out, *structures[k]);
  }
  out.text("\n      ]\n    }\n  },\n");

  std::unordered_map<const vl::Atom*, int> index;
  for (int i = 0; i < last.atoms(); ++i)
    index.emplace(last.atom(i), i);
  std::string order;
  out.text("  \"bonds\": {\"connections\": {\"index\": [");
  for (const auto& bond : last.bondList()) {
    const auto a = index.find(bond->atom1()), b = index.find(bond->atom2());
    if (a == index.end() || b == index.end())
      continue;
    out.text(order.empty() ? "" : ", ").integer(a->second).text(", ").integer(b->second);
    order += order.empty() ? "1" : ", 1"; // the readers find single bonds only
  }
  out.text("]}, \"order\": [").text(order).text("]}");

  // Hartree, as Avogadro shows totalEnergy and plots the energies by default.
  // The energies line up with 3dSets, so they are written only when every
  // structure has one.
  bool all = true;
  for (const auto& s : structures)
    all = all && energyOf(*s);
  if (const std::optional<double> total = energyOf(last)) {
    out.text(",\n  \"properties\": {\"totalEnergy\": ");
    number(out, *total, true);
    for (size_t k = 0; all && k < structures.size(); ++k) {
      out.text(k ? ", " : ", \"energies\": [");
      number(out, *energyOf(*structures[k]), true);
    }
    out.text(all ? "]}" : "}");
  }
  if (wavefunction && CjsonOrbitalProblem(*wavefunction, structures).empty())
    basisAndOrbitals(out, *wavefunction);
  out.text("\n}\n");
}
