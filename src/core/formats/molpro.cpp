// Molpro output: the integral program's "ATOMIC COORDINATES" tables (bohr)
// and the optimiser's "Current geometry" blocks (xyz, angstrom), with the
// "!" energy lines and the normal modes of a frequency job printed after
// them. An optimisation step prints its geometry in both forms: the block
// that repeats the table before it is the same structure.
#include <algorithm>
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

constexpr std::string_view kTableMarker = "ATOMIC COORDINATES";
constexpr std::string_view kXyzMarker = "Current geometry (xyz format, in Angstrom)";

// The element of an atom label ("C", "H1", "CA") as Molpro reads it: a
// two-letter symbol when there is one, unless the charge, where printed,
// says otherwise. A charge below one is a dummy.
vl::EAtomType LabelType(std::string_view label, std::optional<double> charge)
{
  if (charge && *charge < 0.5)
    return vl::AT_Unknown;
  size_t letters = 0;
  while (letters < label.size() && letters < 2 && std::isalpha(static_cast<unsigned char>(label[letters])))
    ++letters;
  const vl::EAtomType two =
      letters == 2 ? vl::atomType(NormalizeSymbol(std::string(label.substr(0, 2)))) : vl::AT_Unknown;
  const vl::EAtomType one = letters ? vl::atomType(NormalizeSymbol(std::string(label.substr(0, 1)))) : vl::AT_Unknown;
  const int z =
      charge && std::fabs(*charge - std::round(*charge)) < 1e-6 ? qcout::TruncateCharge(std::round(*charge)) : -1;
  for (vl::EAtomType t : {two, one})
    if (t != vl::AT_Unknown && vl::atomInfo(t).atomicNumber() == z)
      return t;
  // A pseudopotential lowers the printed charge: the label decides.
  return two != vl::AT_Unknown ? two : one;
}

// A blank line, the "NR ATOM CHARGE X Y Z" header, a blank line, then rows up
// to a blank line. False when the table is cut short or a row is no atom.
bool ReadTable(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  if (!in.next(line) || !IsBlank(line) || !in.next(line) || qcout::Word(line, 0) != "NR" || !in.next(line) ||
      !IsBlank(line))
    return false;
  while (in.next(line)) {
    if (IsBlank(line))
      return molecule.atoms() > 0;
    const auto w = qcout::Words(line);
    if (w.size() != 6)
      return false;
    const auto charge = qcout::ToNumber(w[2]), x = qcout::ToNumber(w[3]), y = qcout::ToNumber(w[4]),
               z = qcout::ToNumber(w[5]);
    if (!charge || !x || !y || !z)
      return false;
    qcout::AddElementAtom(molecule, {float(*x), float(*y), float(*z)}, true, LabelType(w[1], charge));
  }
  return false;
}

// A blank line, the atom count, a comment, then as many "Symbol X Y Z" rows.
bool ReadXyz(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  if (!in.next(line) || !IsBlank(line) || !in.next(line))
    return false;
  const auto count = qcout::ToNumber(qcout::Trimmed(line));
  if (!count || *count < 1 || *count != std::floor(*count) || !in.skip(1))
    return false;
  for (double n = 0; n < *count; ++n) {
    if (!in.next(line))
      return false;
    const auto w = qcout::Words(line);
    if (w.size() < 4)
      return false;
    const auto x = qcout::ToNumber(w[1]), y = qcout::ToNumber(w[2]), z = qcout::ToNumber(w[3]);
    if (!x || !y || !z)
      return false;
    qcout::AddElementAtom(molecule, {float(*x), float(*y), float(*z)}, false, LabelType(w[0], std::nullopt));
  }
  return true;
}

// The method's energy type: the SCF family ends in HF or KS (RHF, UHF, RKS, DF-RHF).
bool IsScf(std::string_view method)
{
  const std::string_view tail = method.substr(method.size() < 2 ? 0 : method.size() - 2);
  return tail == "HF" || tail == "KS";
}

// The frequency program's normal modes. It numbers the atoms its own way,
// listing them first as "Atomic Coordinates" (bohr): each is matched to the
// structure's atom at its place. Then come "Normal Modes", "Normal Modes of
// imaginary frequencies" (printed positive) and "Normal Modes of low/zero
// frequencies", each in blocks of up to five columns: the wavenumbers, the
// intensities and a row per coordinate ("CX1", "CY1", "CZ1", "CX2"...). The
// modes go imaginary first, then the nonzero low ones, then the rest; the
// translations and rotations, printed as zero, are left out.
struct Vibrations {
  enum Section { kNone, kAtoms, kModes } section = kNone;
  enum Kind { kReal, kImaginary, kLow } kind = kReal;
  std::vector<std::pair<vl::EAtomType, vl::fvec3>> atoms; // as the frequency program lists them, in angstrom
  std::vector<int> order;                                 // its atoms' places in the structure
  size_t columns = 0, rows = 0;
  std::vector<double> frequencies, intensities; // of the open block
  std::vector<float> block;                     // rows by columns
  size_t counts[3] = {0, 0, 0};                 // modes read, by kind
  std::vector<std::string_view> words;

  // True when the line belongs to the analysis.
  bool see(std::string_view t, vl::Molecule& molecule)
  {
    if (t == "Atomic Coordinates") {
      section = kAtoms;
      atoms.clear();
      return true;
    }
    if (t.substr(0, 12) == "Normal Modes") {
      kind = qcout::Contains(t, "imaginary") ? kImaginary : qcout::Contains(t, "low/zero") ? kLow : kReal;
      if (kind == kReal) {
        molecule.calculation().modes.clear();
        counts[kReal] = counts[kImaginary] = counts[kLow] = 0;
      }
      columns = 0;
      section = match(molecule) ? kModes : kNone;
      return true;
    }
    if (section == kNone)
      return false;
    qcout::SplitWords(t, words);
    if (section == kAtoms)
      atom(words);
    else if (section == kModes)
      modeRow(words, molecule);
    return section != kNone;
  }

  // "1   C     6.00    2.676555196    0.445053706    0.000000000" up to a blank line.
  void atom(const std::vector<std::string_view>& w)
  {
    if (w.empty()) {
      if (!atoms.empty())
        section = kNone;
      return;
    }
    if (w[0] == "Nr")
      return;
    const auto charge = qcout::ToNumber(w.size() == 6 ? w[2] : ""), x = qcout::ToNumber(w.size() == 6 ? w[3] : ""),
               y = qcout::ToNumber(w.size() == 6 ? w[4] : ""), z = qcout::ToNumber(w.size() == 6 ? w[5] : "");
    if (!qcout::IsCount(w[0]) || std::stoul(std::string(w[0])) != atoms.size() + 1 || !charge || !x || !y || !z) {
      atoms.clear(); // no atom list to go by
      section = kNone;
      return;
    }
    atoms.emplace_back(LabelType(w[1], charge),
                       vl::fvec3(qcout::BohrToAngstrom(float(*x)), qcout::BohrToAngstrom(float(*y)),
                                 qcout::BohrToAngstrom(float(*z))));
  }

  // The structure's atom for each of the frequency program's; without its
  // list, the structure's own order. Atoms it leaves out (dummies) do not move.
  bool match(const vl::Molecule& molecule)
  {
    const size_t n = static_cast<size_t>(molecule.atoms());
    order.clear();
    if (atoms.empty()) {
      for (size_t i = 0; i < n; ++i)
        order.push_back(static_cast<int>(i));
      return n > 0;
    }
    std::vector<bool> used(n, false);
    for (const auto& [type, r] : atoms) {
      int found = -1;
      for (size_t j = 0; j < n && found < 0; ++j) {
        const vl::Atom& a = *molecule.atom(static_cast<int>(j));
        if (!used[j] && a.atomType() == type && (a.coordinates() - r).length() < 1e-3f)
          found = static_cast<int>(j);
      }
      if (found < 0)
        return false;
      used[static_cast<size_t>(found)] = true;
      order.push_back(found);
    }
    for (size_t j = 0; j < n; ++j)
      if (!used[j] && molecule.atom(static_cast<int>(j))->atomType() != vl::AT_Unknown)
        return false;
    return true;
  }

  void modeRow(const std::vector<std::string_view>& w, vl::Molecule& molecule)
  {
    const size_t count = 3 * order.size();
    if (w.empty()) {
      if (rows > 0) // a block broken off
        section = kNone;
      return;
    }
    if (rows == 0 && qcout::IsCount(w[0])) {
      // "1 Au  2 Bg ...", or the bare numbers: the block's columns.
      columns = 0;
      for (std::string_view word : w)
        columns += qcout::IsCount(word);
      if (!qcout::IsCount(w[0]) || columns == 0 || columns > 64)
        section = kNone, columns = 0;
      frequencies.clear();
      intensities.clear();
      rows = 0;
      return;
    }
    if (rows == 0 && w.size() == columns + 2 && (w[0] == "Wavenumbers" || w[0] == "Intensities")) {
      std::vector<double> values;
      for (size_t k = 2; k < w.size(); ++k)
        if (const auto v = qcout::ToNumber(w[k]))
          values.push_back(*v);
      if (w[0] == "Wavenumbers")
        frequencies = values;
      else if (w[1] == "[km/mol]")
        intensities = values;
      return;
    }
    // "CX1  -0.00000  ...": the coordinate the row expects, then a value per column.
    const std::string_view label = w[0];
    size_t digits = 0;
    while (digits < label.size() && label[label.size() - 1 - digits] >= '0' && label[label.size() - 1 - digits] <= '9')
      ++digits;
    const bool expected = digits > 0 && digits < 10 && label.size() > digits + 1 &&
                          label[label.size() - digits - 1] == "XYZ"[rows % 3] &&
                          std::stoul(std::string(label.substr(label.size() - digits))) == rows / 3 + 1;
    if (!expected || columns == 0 || frequencies.size() != columns || w.size() != columns + 1 || rows >= count)
      return void(section = kNone);
    if (rows == 0)
      block.assign(count * columns, 0.0f);
    if (!qcout::ReadBlockValues(w, 1, columns, block.data() + rows * columns))
      return void(section = kNone);
    if (++rows < count)
      return;
    for (size_t k = 0; k < columns; ++k) {
      if (frequencies[k] == 0)
        continue;
      vl::NormalMode m;
      m.frequency = kind == kImaginary ? -std::fabs(frequencies[k]) : frequencies[k];
      if (intensities.size() == columns)
        m.irIntensity = intensities[k];
      m.displacement.assign(static_cast<size_t>(molecule.atoms()), vl::fvec3());
      for (size_t a = 0; a < order.size(); ++a)
        m.displacement[static_cast<size_t>(order[a])] = qcout::BlockVector(block, columns, a, k);
      // Imaginary first, then low, then the rest.
      std::vector<vl::NormalMode>& modes = molecule.calculation().modes;
      const size_t at = kind == kImaginary ? counts[kImaginary]
                        : kind == kLow     ? counts[kImaginary] + counts[kLow]
                                           : modes.size();
      modes.insert(modes.begin() + static_cast<std::ptrdiff_t>(std::min(at, modes.size())), std::move(m));
      ++counts[kind];
    }
    columns = rows = 0;
  }
};

struct Reader {
  vl::Molecule* current = nullptr; // the structure the lines now belong to
  bool correlated = false;         // current has a correlated total energy
  std::optional<double> gradientThreshold, stepThreshold;
  bool inSummary = false;                 // in the optimiser's table of iterations
  std::optional<vl::Convergence> pending; // its last row: for the geometry printed next
  Vibrations vibrations;

  // "ITER. ENERGY(OLD) ENERGY(NEW) DE GRADMAX GRADNORM GRADRMS STEPMAX STEPLEN STEPRMS [CPU]"
  std::optional<vl::Convergence> row(const std::vector<std::string_view>& w) const
  {
    if (w.size() < 10)
      return std::nullopt;
    std::array<std::optional<double>, 10> v;
    for (size_t i = 0; i < v.size(); ++i)
      if (!(v[i] = qcout::ToNumber(w[i])))
        return std::nullopt;
    vl::Convergence g;
    g.maxForce.value = v[4];
    g.maxForce.threshold = gradientThreshold;
    g.rmsForce.value = v[6];
    g.maxDisplacement.value = v[7];
    g.maxDisplacement.threshold = stepThreshold;
    g.rmsDisplacement.value = v[9];
    return g;
  }

  void energy(const std::vector<std::string_view>& w)
  {
    // "!RHF STATE 1.1 Energy -76.02", "!CCSD(T) total energy -76.24", "!RHF-UCCSD(T) energy -76.24"
    const std::string_view method = w[0].substr(1);
    const bool state = w.size() == 5 && w[1] == "STATE";
    const bool total = (w.size() == 4 && w[1] == "total" && w[2] == "energy") || (w.size() == 3 && w[1] == "energy");
    if (method.empty() || !(state || total))
      return;
    if (state && (!(w[3] == "Energy" || w[3] == "ENERGY") || w[2].substr(0, 2) != "1."))
      return; // other roots: the first is the structure's
    const auto value = qcout::ToNumber(w.back());
    if (!value)
      return;
    vl::Calculation& c = current->calculation();
    if (IsScf(method)) {
      c.scfEnergy = value;
      if (correlated)
        return;
    } else {
      correlated = true;
    }
    c.totalEnergy = value;
    c.method = std::string(method);
  }

  void result(std::string_view line)
  {
    const std::string_view t = qcout::Trimmed(line);
    if (current && vibrations.see(t, *current))
      return;
    if (inSummary) {
      if (t.empty())
        inSummary = false;
      else if (auto g = row(qcout::Words(t)))
        pending = g;
      return;
    }
    if (t.empty())
      return;
    if (t[0] == '!') {
      if (current && t.size() > 1)
        energy(qcout::Words(t));
    } else if (qcout::Contains(t, "OPTGRAD") || qcout::Contains(t, "OPTSTEP")) {
      if (auto v = qcout::NumberAfterEquals(t, "OPTGRAD"))
        gradientThreshold = v;
      if (auto v = qcout::NumberAfterEquals(t, "OPTSTEP"))
        stepThreshold = v;
    } else if ((t.substr(0, 5) == "ITER." && qcout::Contains(t, "GRADMAX")) ||
               qcout::Contains(t, "PROGRESS OF GEOMETRY OPTIMIZATION")) {
      // The summary at the end, or in the long output after each point the rows so far.
      inSummary = true;
      pending.reset();
    } else if (qcout::Contains(t, "END OF GEOMETRY OPTIMIZATION")) {
      current = nullptr; // what follows is at the optimised geometry, printed next if at all
    }
  }
};

int ReadMolproFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  Reader reader;
  vl::Molecule* last = nullptr; // the last structure appended
  int found = 0;
  std::string_view line;
  while (in.next(line)) {
    const bool table = qcout::Trimmed(line) == kTableMarker;
    if (table || qcout::Contains(line, kXyzMarker)) {
      qcout::Announce(log, table ? "Found Cartesian coordinates (Bohr)!\n" : "Found Cartesian coordinates (Angs)!\n");
      auto molecule = vl::make_ref<vl::Molecule>();
      reader.current = nullptr;
      reader.inSummary = false;
      reader.vibrations = Vibrations();
      if (!(table ? ReadTable(in, *molecule) : ReadXyz(in, *molecule)))
        continue;
      if (last && qcout::SameGeometry(*last, *molecule, 2e-5f)) {
        reader.current = last;
      } else if (FinishStructure(molecule, structures, log)) {
        ++found;
        last = reader.current = molecule.get();
        reader.correlated = false;
      }
      if (reader.current && reader.pending)
        reader.current->calculation().convergence = *reader.pending;
      reader.pending.reset();
      continue;
    }
    reader.result(line);
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kMolproFormat;
const FileFormat kMolproFormat = ContentFormat(FT_Molpro, "Molpro output",
                                               {
                                                   // The banner.
                                                   {{"***  PROGRAM SYSTEM MOLPRO  ***"}},
                                               },
                                               ReadMolproFile);
