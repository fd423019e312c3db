// Molpro output: the integral program's "ATOMIC COORDINATES" tables (bohr)
// and the optimiser's "Current geometry" blocks (xyz, angstrom), with the
// "!" energy lines printed after them. An optimisation step prints its
// geometry in both forms: the block that repeats the table before it is the
// same structure.
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

void AddAtom(vl::Molecule& molecule, std::array<float, 3> r, bool bohr, vl::EAtomType type)
{
  if (bohr)
    for (float& v : r)
      v = qcout::BohrToAngstrom(v);
  const std::string symbol = type == vl::AT_Unknown ? "X" : vl::atomInfo(type).mSymbol;
  qcout::AddAtom(molecule, r[0], r[1], r[2], symbol + std::to_string(molecule.atoms() + 1), type);
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
    const auto w = Words(line);
    if (w.size() != 6)
      return false;
    const auto charge = qcout::ToNumber(w[2]), x = qcout::ToNumber(w[3]), y = qcout::ToNumber(w[4]),
               z = qcout::ToNumber(w[5]);
    if (!charge || !x || !y || !z)
      return false;
    AddAtom(molecule, {float(*x), float(*y), float(*z)}, true, LabelType(w[1], charge));
  }
  return false;
}

// A blank line, the atom count, a comment, then as many "Symbol X Y Z" rows.
bool ReadXyz(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  if (!in.next(line) || !IsBlank(line) || !in.next(line))
    return false;
  const auto count = qcout::ToNumber(Trimmed(line));
  if (!count || *count < 1 || *count != std::floor(*count) || !in.skip(1))
    return false;
  for (double n = 0; n < *count; ++n) {
    if (!in.next(line))
      return false;
    const auto w = Words(line);
    if (w.size() < 4)
      return false;
    const auto x = qcout::ToNumber(w[1]), y = qcout::ToNumber(w[2]), z = qcout::ToNumber(w[3]);
    if (!x || !y || !z)
      return false;
    AddAtom(molecule, {float(*x), float(*y), float(*z)}, false, LabelType(w[0], std::nullopt));
  }
  return true;
}

bool SameGeometry(const vl::Molecule& a, const vl::Molecule& b)
{
  if (a.atoms() != b.atoms())
    return false;
  for (int i = 0; i < a.atoms(); ++i) {
    if (a.atom(i)->atomType() != b.atom(i)->atomType())
      return false;
    for (int k = 0; k < 3; ++k)
      if (std::fabs(a.atom(i)->coordinates()[k] - b.atom(i)->coordinates()[k]) > 2e-5f)
        return false;
  }
  return true;
}

// The number after the '=' that follows `key` ("OPTGRAD =  3.00D-04").
std::optional<double> NumberAfterEquals(std::string_view line, std::string_view key)
{
  const size_t at = line.find(key);
  if (at == std::string_view::npos)
    return std::nullopt;
  const size_t sign = line.find('=', at + key.size());
  if (sign == std::string_view::npos)
    return std::nullopt;
  return qcout::ToNumber(qcout::Word(line.substr(sign + 1), 0));
}

// The method's energy type: the SCF family ends in HF or KS (RHF, UHF, RKS, DF-RHF).
bool IsScf(std::string_view method)
{
  const std::string_view tail = method.substr(method.size() < 2 ? 0 : method.size() - 2);
  return tail == "HF" || tail == "KS";
}

struct Reader {
  vl::Molecule* current = nullptr; // the structure the lines now belong to
  bool correlated = false;         // current has a correlated total energy
  std::optional<double> gradientThreshold, stepThreshold;
  bool inSummary = false;                 // in the optimiser's table of iterations
  std::optional<vl::Convergence> pending; // its last row: for the geometry printed next

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
    const std::string_view t = Trimmed(line);
    if (inSummary) {
      if (t.empty())
        inSummary = false;
      else if (auto g = row(Words(t)))
        pending = g;
      return;
    }
    if (t.empty())
      return;
    if (t[0] == '!') {
      if (current && t.size() > 1)
        energy(Words(t));
    } else if (qcout::Contains(t, "OPTGRAD") || qcout::Contains(t, "OPTSTEP")) {
      if (auto v = NumberAfterEquals(t, "OPTGRAD"))
        gradientThreshold = v;
      if (auto v = NumberAfterEquals(t, "OPTSTEP"))
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
    const bool table = Trimmed(line) == kTableMarker;
    if (table || qcout::Contains(line, kXyzMarker)) {
      qcout::Announce(log, table ? "Found Cartesian coordinates (Bohr)!\n" : "Found Cartesian coordinates (Angs)!\n");
      auto molecule = vl::make_ref<vl::Molecule>();
      reader.current = nullptr;
      reader.inSummary = false;
      if (!(table ? ReadTable(in, *molecule) : ReadXyz(in, *molecule)))
        continue;
      if (last && SameGeometry(*last, *molecule)) {
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
