// Psi4 output: the "Geometry (in Angstrom|Bohr)" tables that the modules
// print, the SCF and correlated energies after them, and optking's
// convergence check. Every module reprints the molecule it starts on (SCF,
// its gradient, the optimiser's next step), so a table that repeats the
// previous structure adds nothing: one structure per geometry.
#include <array>
#include <cctype>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kTableMarker = "Geometry (in ";
constexpr std::string_view kTableMarkerTail = ", charge =";

std::vector<std::string_view> Words(std::string_view line)
{
  std::vector<std::string_view> words;
  for (std::string_view w; !(w = qcout::Word(line, static_cast<int>(words.size()))).empty();)
    words.push_back(w);
  return words;
}

std::string_view Trimmed(std::string_view line)
{
  const size_t begin = line.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos)
    return {};
  return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

// "C", "CL", "Gh(O)" (a ghost: no atom of the system, kept as a dummy).
vl::EAtomType SymbolType(std::string_view symbol)
{
  size_t letters = 0;
  while (letters < symbol.size() && letters < 2 && std::isalpha(static_cast<unsigned char>(symbol[letters])))
    ++letters;
  if (symbol.substr(0, 3) == "Gh(")
    return vl::AT_Unknown;
  return vl::atomType(NormalizeSymbol(std::string(symbol.substr(0, letters))));
}

// The rows under a marker: an optional "Center" header with its rule, then
// "Symbol X Y Z [Mass]" up to a blank line. False when the table is cut
// short or a row is no atom.
bool ReadRows(LineReader& in, bool bohr, vl::Molecule& molecule)
{
  std::string_view line;
  if (!in.next(line) || !IsBlank(line) || !in.next(line))
    return false;
  if (qcout::Word(line, 0) == "Center" && !(in.skip(1) && in.next(line)))
    return false;
  for (int n = 1;; ++n) {
    if (IsBlank(line))
      return n > 1;
    const auto x = qcout::ToNumber(qcout::Word(line, 1)), y = qcout::ToNumber(qcout::Word(line, 2)),
               z = qcout::ToNumber(qcout::Word(line, 3));
    if (!x || !y || !z)
      return false;
    const vl::EAtomType type = SymbolType(qcout::Word(line, 0));
    std::array<float, 3> r = {static_cast<float>(*x), static_cast<float>(*y), static_cast<float>(*z)};
    if (bohr)
      for (float& v : r)
        v = qcout::BohrToAngstrom(v);
    const std::string symbol = type == vl::AT_Unknown ? "X" : vl::atomInfo(type).mSymbol;
    qcout::AddAtom(molecule, r[0], r[1], r[2], symbol + std::to_string(n), type);
    if (!in.next(line))
      return false;
  }
}

bool SameGeometry(const vl::Molecule& a, const vl::Molecule& b)
{
  if (a.atoms() != b.atoms())
    return false;
  for (int i = 0; i < a.atoms(); ++i) {
    if (a.atom(i)->atomType() != b.atom(i)->atomType())
      return false;
    for (int k = 0; k < 3; ++k)
      if (std::fabs(a.atom(i)->coordinates()[k] - b.atom(i)->coordinates()[k]) > 1e-6f)
        return false;
  }
  return true;
}

bool EndsWith(std::string_view text, std::string_view tail)
{
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Labels of variants printed beside the method's own energy (spin-scaled MP2).
bool IsVariant(std::string_view label)
{
  return qcout::Contains(label, "SCS") || qcout::Contains(label, "SOS");
}

// The number after the first '=' or ':' behind `from`.
std::optional<double> ValueAfterSign(std::string_view line, size_t from)
{
  const size_t sign = line.find_first_of("=:", from);
  if (sign == std::string_view::npos)
    return std::nullopt;
  return qcout::ToNumber(qcout::Word(line.substr(sign + 1), 0));
}

struct Reader {
  vl::Molecule* current = nullptr; // the structure the lines now belong to
  bool correlated = false;         // current has a correlated total energy
  std::string pendingLabel;        // a "==> DF-MP2 Energies <==" block is open
  int convergence = 0;             // 1: in a convergence check, 2: criteria read
  int convergenceLines = 0;        // read in it: a check that never ends lets go
  std::string functional;          // the last "Composite Functional" printed
  std::array<std::optional<double>, 5> thresholds;

  void correlatedEnergy(std::string_view label, std::optional<double> value)
  {
    if (!value || label.empty() || IsVariant(label))
      return;
    vl::Calculation& c = current->calculation();
    c.totalEnergy = value;
    c.method = std::string(label);
    correlated = true;
  }

  void criteria(const std::vector<std::string_view>& w)
  {
    thresholds = {};
    for (size_t i = 2, c = 0; i < w.size() && c < thresholds.size(); ++c) {
      const auto v = qcout::ToNumber(w[i]);
      if (v)
        ++i;
      const bool active = i < w.size() && w[i] == "*";
      if (i < w.size() && (w[i] == "*" || w[i] == "o"))
        ++i;
      if (v && active)
        thresholds[c] = v;
    }
  }

  // Step, energy, then per column a value and its mark: '*' met, 'o' not
  // judged, none: active and not met.
  void values(const std::vector<std::string_view>& w)
  {
    vl::Convergence& g = current->calculation().convergence;
    vl::ConvergenceCriterion* criteria[5] = {nullptr, &g.maxForce, &g.rmsForce, &g.maxDisplacement, &g.rmsDisplacement};
    for (size_t i = 2, c = 0; i < w.size() && c < 5; ++c) {
      const auto v = qcout::ToNumber(w[i++]);
      if (!v)
        return;
      const std::string_view mark = i < w.size() && (w[i] == "*" || w[i] == "o") ? w[i++] : "";
      if (!criteria[c])
        continue;
      *criteria[c] = {};
      criteria[c]->value = v;
      if (mark == "o")
        continue;
      criteria[c]->threshold = thresholds[c];
      if (thresholds[c])
        criteria[c]->converged = mark == "*";
    }
  }

  void result(std::string_view line)
  {
    const std::string_view t = Trimmed(line);
    size_t at;
    if (convergence && !t.empty() && ++convergenceLines > 12)
      convergence = 0;
    if (convergence && !t.empty()) {
      const auto w = Words(t);
      if (convergence == 1 && qcout::Contains(t, "Convergence Criteria")) {
        criteria(w);
        convergence = 2;
      } else if (convergence == 2 && w.size() > 6 && qcout::ToNumber(w[0]) && qcout::ToNumber(w[1])) {
        values(w);
        convergence = 0;
      }
      return;
    }
    if (qcout::Contains(t, "==> Convergence Check <==")) {
      convergence = 1;
      convergenceLines = 0;
      return;
    }
    if ((at = t.find("Composite Functional:")) != std::string_view::npos) {
      functional = std::string(qcout::Word(t.substr(at + 21), 0));
      return;
    }
    if (t.empty()) {
      pendingLabel.clear();
      return;
    }
    vl::Calculation& c = current->calculation();
    if (t[0] == '@' && (at = t.find(" Final Energy:")) != std::string_view::npos) {
      const auto value = qcout::NumberAfter(t, "Final Energy:");
      if (!value)
        return;
      c.scfEnergy = value;
      if (!correlated) {
        c.totalEnergy = value;
        // "DF-RKS": the functional names the method
        const std::string_view label = t.substr(1, at - 1);
        c.method = EndsWith(label, "KS") && !functional.empty() ? functional : std::string(label);
      }
    } else if (t.substr(0, 2) == "* " && (at = t.find(" total energy")) != std::string_view::npos) {
      // ccenergy, cctriples, fnocc: "* CCSD(T) total energy = ..."
      const std::string_view label = Trimmed(t.substr(2, at - 2));
      if (label != "SCF")
        correlatedEnergy(label, ValueAfterSign(t, at));
    } else if ((at = t.find(" Total Energy (a.u.)")) != std::string_view::npos) {
      // occ, dfocc: "DF-MP2 Total Energy (a.u.) : ..."
      const std::string_view label = Trimmed(t.substr(0, at));
      if (label.find(' ') == std::string_view::npos && label != "SCF" && !EndsWith(label, "HF"))
        correlatedEnergy(label, ValueAfterSign(t, at));
    } else if (t[0] == '=' && (at = t.find(" Energies <")) != std::string_view::npos) {
      // dfmp2, "=====> DF-MP2 Energies <=====": the total follows in its block
      const size_t open = t.rfind('>', at);
      const std::string_view label = open == std::string_view::npos ? "" : Trimmed(t.substr(open + 1, at - open - 1));
      pendingLabel = qcout::Contains(label, "MP") && !IsVariant(label) ? std::string(label) : std::string();
    } else if (!pendingLabel.empty() && t.substr(0, 12) == "Total Energy") {
      correlatedEnergy(pendingLabel, ValueAfterSign(t, 12));
      pendingLabel.clear();
    }
  }
};

int ReadPsi4File(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  Reader reader;
  vl::Molecule* last = nullptr; // the last structure appended
  int found = 0;
  std::string_view line;
  while (in.next(line)) {
    if (qcout::Contains(line, kTableMarker) && qcout::Contains(line, kTableMarkerTail)) {
      const bool bohr = qcout::Contains(line, "(in Bohr)");
      qcout::Announce(log, bohr ? "Found Cartesian coordinates (Bohr)!\n" : "Found Cartesian coordinates (Angs)!\n");
      auto molecule = vl::make_ref<vl::Molecule>();
      reader.current = nullptr;
      reader.pendingLabel.clear();
      reader.convergence = 0;
      if (!ReadRows(in, bohr, *molecule))
        continue;
      if (last && SameGeometry(*last, *molecule)) {
        reader.current = last;
        continue;
      }
      if (FinishStructure(molecule, structures, log)) {
        ++found;
        last = reader.current = molecule.get();
        reader.correlated = false;
      }
      continue;
    }
    if (reader.current)
      reader.result(line);
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kPsi4Format;
const FileFormat kPsi4Format = ContentFormat(FT_Psi4, "Psi4 output",
                                             {
                                                 // The banner; releases before 1.0 spelled the name in capitals.
                                                 {{"Psi4: An Open-Source Ab Initio Electronic Structure Package",
                                                   "PSI4: An Open-Source Ab Initio Electronic Structure Package"}},
                                             },
                                             ReadPsi4File);
