// Psi4 output: the "Geometry (in Angstrom|Bohr)" tables that the modules
// print, the SCF and correlated energies after them, optking's convergence
// check and the harmonic vibrational analysis. Every module reprints the
// molecule it starts on (SCF, its gradient, the optimiser's next step), so a
// table that repeats the previous structure adds nothing: one structure per
// geometry. The displaced geometries of finite-difference frequencies are no
// structures: the modes belong to the reference geometry.
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kTableMarker = "Geometry (in ";
constexpr std::string_view kTableMarkerTail = ", charge =";

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
    qcout::AddElementAtom(molecule, {static_cast<float>(*x), static_cast<float>(*y), static_cast<float>(*z)}, bohr,
                          SymbolType(qcout::Word(line, 0)));
    if (!in.next(line))
      return false;
  }
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

// A frequency as printed; Psi4 writes an imaginary one as "12.34i".
std::optional<double> Frequency(std::string_view word)
{
  if (!word.empty() && word.back() == 'i') {
    const auto v = qcout::ToNumber(word.substr(0, word.size() - 1));
    return v ? std::optional<double>(-*v) : std::nullopt;
  }
  return qcout::ToNumber(word);
}

// The harmonic analysis in one of two layouts. Since 1.0: blocks of up to
// three modes under "Vibration  7  8  9": "Freq [cm^-1]", "IR activ [km/mol]"
// and the rest, a rule, then a row per atom ("1  C  x y z  x y z ...") up to
// a blank line; the first other line after a block ends them. Before 1.0, one
// mode at a time after "Normal Modes": its "Frequency:", then "X Y Z mass" rows.
struct Vibrations {
  enum Layout { kNone, kBlocks, kSingle } layout = kNone;
  size_t columns = 0;
  std::vector<double> frequencies, ir;
  std::vector<vl::fvec3> rows; // by atom, then column
  bool inRows = false;
  std::vector<std::string_view> words;

  void reset(Layout l, vl::Calculation& c)
  {
    layout = l;
    columns = 0;
    inRows = false;
    c.modes.clear();
  }

  // The numbers after a label of `label` words, one per column; else empty.
  std::vector<double> values(const std::vector<std::string_view>& w, size_t label) const
  {
    std::vector<double> v;
    for (size_t k = label; k < w.size(); ++k)
      if (const auto f = Frequency(w[k]))
        v.push_back(*f);
    return v.size() == columns && w.size() == label + columns ? v : std::vector<double>();
  }

  // True when the line belongs to the analysis.
  bool see(std::string_view t, vl::Molecule& molecule)
  {
    vl::Calculation& c = molecule.calculation();
    if (qcout::Contains(t, "==> Harmonic Vibrational Analysis <==")) {
      reset(kBlocks, c);
      return true;
    }
    if (t.substr(0, 12) == "Normal Modes" && qcout::Contains(t, "non-mass-weighted")) {
      reset(kSingle, c);
      return true;
    }
    if (layout == kNone)
      return false;
    std::vector<std::string_view>& w = words;
    qcout::SplitWords(t, w);
    if (inRows)
      return row(w, molecule);
    if (layout == kBlocks) {
      if (!w.empty() && w[0] == "Vibration") {
        columns = w.size() - 1;
        frequencies.clear();
        ir.clear();
      } else if (columns == 0 && !w.empty() && (!c.modes.empty() || t.substr(0, 4) == "==> ")) {
        layout = kNone; // past the last block, or the next section
        return false;
      } else if (w.size() > 2 && w[0] == "Freq" && w[1] == "[cm^-1]") {
        frequencies = values(w, 2);
      } else if (w.size() > 3 && w[0] == "IR" && w[1] == "activ") {
        ir = values(w, 3);
      } else if (!w.empty() && w[0].substr(0, 4) == "----") {
        inRows = columns > 0 && frequencies.size() == columns;
        rows.clear();
      }
      return true;
    }
    // One mode at a time.
    if (w.size() == 2 && w[0] == "Frequency:") {
      columns = 1;
      frequencies = values(w, 1);
    } else if (w.size() == 4 && w[0] == "X" && w[1] == "Y" && w[2] == "Z" && w[3] == "mass") {
      inRows = frequencies.size() == 1;
      rows.clear();
    } else if (!w.empty() && w[0] != "Force" && w[0] != "Molecular" && w[0] != "Frequencies") {
      layout = kNone;
      return false;
    }
    return true;
  }

  // A row per atom up to a blank line; a block of another size is dropped.
  bool row(const std::vector<std::string_view>& w, vl::Molecule& molecule)
  {
    const size_t atoms = static_cast<size_t>(molecule.atoms());
    if (w.empty()) {
      inRows = false;
      qcout::AppendBlockModes(atoms, columns, frequencies, ir, {}, rows, molecule.calculation().modes);
      columns = 0;
      return true;
    }
    // "1  C  x y z ..." in blocks; "C  x y z  mass" one at a time.
    const size_t first = layout == kBlocks ? 2 : 1;
    const size_t expected = layout == kBlocks ? first + 3 * columns : first + 4;
    if (w.size() != expected || rows.size() >= atoms * columns || !qcout::ReadVectorRow(w, first, columns, rows)) {
      inRows = false;
      columns = 0;
    }
    return true;
  }
};

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
  Vibrations vibrations;

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
    const std::string_view t = qcout::Trimmed(line);
    size_t at;
    if (vibrations.see(t, *current))
      return;
    if (convergence && !t.empty() && ++convergenceLines > 12)
      convergence = 0;
    if (convergence && !t.empty()) {
      const auto w = qcout::Words(t);
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
      const std::string_view label = qcout::Trimmed(t.substr(2, at - 2));
      if (label != "SCF")
        correlatedEnergy(label, ValueAfterSign(t, at));
    } else if ((at = t.find(" Total Energy (a.u.)")) != std::string_view::npos) {
      // occ, dfocc: "DF-MP2 Total Energy (a.u.) : ..."
      const std::string_view label = qcout::Trimmed(t.substr(0, at));
      if (label.find(' ') == std::string_view::npos && label != "SCF" && !EndsWith(label, "HF"))
        correlatedEnergy(label, ValueAfterSign(t, at));
    } else if (t[0] == '=' && (at = t.find(" Energies <")) != std::string_view::npos) {
      // dfmp2, "=====> DF-MP2 Energies <=====": the total follows in its block
      const size_t open = t.rfind('>', at);
      const std::string_view label =
          open == std::string_view::npos ? "" : qcout::Trimmed(t.substr(open + 1, at - open - 1));
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
  // Finite-difference frequencies: from the plan of displacements up to the
  // line that gathers their gradients (or energies), the tables are displaced
  // geometries. The reference is the structure before them; where there is
  // none, or another molecule, the first table (Psi4 1.4 on computes the
  // reference first, earlier releases at the start or the end).
  bool displaced = false, firstDisplaced = false;
  vl::Molecule* reference = nullptr;
  int found = 0;
  std::string_view line;
  while (in.next(line)) {
    if (qcout::Contains(line, "Using finite-differences of") && qcout::Contains(line, "vibrational frequencies")) {
      displaced = firstDisplaced = true;
      reference = last;
      reader.current = nullptr;
      continue;
    }
    if (displaced && (qcout::Contains(line, "passed in, including the reference geometry") ||
                      qcout::Contains(line, "==> Harmonic Vibrational Analysis <=="))) {
      displaced = false;
      reader.current = reference;
    }
    if (qcout::Contains(line, kTableMarker) && qcout::Contains(line, kTableMarkerTail)) {
      const bool bohr = qcout::Contains(line, "(in Bohr)");
      qcout::Announce(log, bohr ? "Found Cartesian coordinates (Bohr)!\n" : "Found Cartesian coordinates (Angs)!\n");
      auto molecule = vl::make_ref<vl::Molecule>();
      reader.current = nullptr;
      reader.pendingLabel.clear();
      reader.convergence = 0;
      reader.vibrations = Vibrations();
      if (!ReadRows(in, bohr, *molecule))
        continue;
      if (displaced && std::exchange(firstDisplaced, false) && reference && !qcout::SameElements(*reference, *molecule))
        reference = nullptr;
      if (last && qcout::SameGeometry(*last, *molecule, 1e-6f)) {
        // Among the displacements, a reprint adds no energy of the reference.
        reader.current = displaced ? nullptr : last;
        continue;
      }
      if (displaced && reference)
        continue;
      if (FinishStructure(molecule, structures, log)) {
        ++found;
        last = reader.current = molecule.get();
        reader.correlated = false;
        if (displaced)
          reference = last;
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
