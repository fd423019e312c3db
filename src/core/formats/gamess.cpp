// GAMESS output: coordinate tables in Bohr and in angstrom, one structure each.
// The normal modes of a Hessian go to the structure of the table before them.
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/formats/comment.h"
#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kAngstromMarker = "COORDINATES OF ALL ATOMS ARE (ANGS)";
constexpr std::string_view kBohrMarker = "ATOM      ATOMIC                      COORDINATES (BOHR)";
constexpr std::string_view kCommonPart = "COORDINATES ";
constexpr int kAngstrom = 1, kBohr = 2; // table kinds

// The method of a "FINAL R-B3LYP ENERGY IS -382.05 AFTER 17 ITERATIONS" line.
std::string FinalMethod(std::string_view line)
{
  return std::string(qcout::Word(line, 1));
}

// One D^2/(amu A^2) of IR intensity in km/mol.
constexpr double kDebyeSquaredPerAmuAngstromSquared = 42.2561;

// The normal coordinate analysis of the current structure as its blocks come.
struct ModeReading {
  int atoms = 0;
  int count = 0;                      // modes met so far, the rigid ones included
  int firstRigid = 0, lastRigid = -1; // "MODES 1 TO 6 ARE TAKEN AS ROTATIONS AND TRANSLATIONS"
  double irFactor = kDebyeSquaredPerAmuAngstromSquared;
  bool analysis = false; // within "NORMAL COORDINATE ANALYSIS": only there is "FREQUENCY:" a mode block
  bool broken = false;   // a block was not whole: the blocks after it are left out
};

// What the reader knows beyond one line.
struct State {
  std::optional<double> opttol; // from the options echo, before any table
  bool unconverged = false;     // GAMESS then prints 0 as the final energy
  ModeReading modes;
};

// The frequencies of a "FREQUENCY:" line; an imaginary one, marked by an "I"
// after it, made negative. Empty when a word is neither.
std::vector<double> Frequencies(std::string_view text)
{
  std::vector<double> values;
  for (int n = 0;; ++n) {
    std::string_view word = qcout::Word(text, n);
    if (word.empty())
      return values;
    if (word == "I") {
      if (values.empty())
        return {};
      values.back() = -std::fabs(values.back());
      continue;
    }
    const bool marked = word.back() == 'I';
    const auto value = qcout::ToNumber(marked ? word.substr(0, word.size() - 1) : word);
    if (!value)
      return {};
    values.push_back(marked ? -std::fabs(*value) : *value);
  }
}

// One block of up to five modes, from its "FREQUENCY:" line: the values per
// mode, then three rows (X, Y, Z) per atom. Rotations and translations are
// left out; a block that does not give every row stops the analysis.
void ReadModeBlock(std::string_view line, LineReader& in, vl::Calculation& result, ModeReading& state)
{
  if (state.broken)
    return;
  state.broken = true; // until the block is whole
  const std::vector<double> frequencies = Frequencies(line.substr(line.find("FREQUENCY:") + 10));
  const size_t k = frequencies.size();
  if (k == 0 || k > 10 || state.atoms <= 0)
    return;
  std::vector<double> ir, raman, values;
  std::string_view next;
  for (int header = 0;; ++header) {
    if (header > 12 || !in.next(next))
      return;
    std::vector<double>* target = qcout::Contains(next, "IR INTENSITY:")     ? &ir
                                  : qcout::Contains(next, "RAMAN ACTIVITY:") ? &raman
                                                                             : nullptr;
    if (target) {
      if (!qcout::Numbers(next.substr(next.find(':') + 1), *target) || target->size() != k)
        target->clear();
    } else if (!qcout::Word(next, 0).empty() && !qcout::Contains(next, ":")) {
      break; // the first row
    }
  }
  std::vector<vl::NormalMode> block(k);
  for (size_t m = 0; m < k; ++m) {
    block[m].frequency = frequencies[m];
    if (!ir.empty())
      block[m].irIntensity = ir[m] * state.irFactor;
    if (!raman.empty())
      block[m].ramanActivity = raman[m];
    block[m].displacement.resize(static_cast<size_t>(state.atoms));
  }
  // "  1   C            X  v1 v2 ...", then "Y ..." and "Z ...": the values follow the axis letter.
  for (int row = 0; row < 3 * state.atoms; ++row) {
    if (row > 0 && !in.next(next))
      return;
    // The first letter that stands alone as a word.
    const char axis = static_cast<char>('X' + row % 3);
    size_t at = 0;
    while (at < next.size() &&
           !(next[at] == axis && (at == 0 || next[at - 1] == ' ') && (at + 1 == next.size() || next[at + 1] == ' ')))
      ++at;
    values.clear();
    if (at == next.size() || !qcout::Numbers(next.substr(at + 1), values) || values.size() != k)
      return;
    for (size_t m = 0; m < k; ++m)
      block[m].displacement[static_cast<size_t>(row / 3)][row % 3] = static_cast<float>(values[m]);
  }
  for (vl::NormalMode& mode : block) {
    ++state.count;
    if (state.count < state.firstRigid || state.count > state.lastRigid)
      result.modes.push_back(std::move(mode));
  }
  state.broken = false;
}

// What GAMESS printed about the geometry of the table before. Only the first
// final energy counts: a numerical Hessian goes on with displaced geometries
// it prints no table for. The gradient criteria are judged against OPTTOL
// (maximum) and OPTTOL/3 (RMS), as the optimiser does.
void ReadResult(std::string_view line, LineReader& in, vl::Calculation& result, State& state)
{
  // Each line looked for is told by its first word: nearly every line of a
  // long output is passed over without a marker search.
  const char lead = qcout::FirstChar(line);
  if (lead == 0 || std::string_view("FNMSEC.").find(lead) == std::string_view::npos)
    return;
  const std::string_view word = qcout::Word(line, 0);
  ModeReading& modes = state.modes;
  if (word == "FREQUENCY:") {
    if (modes.analysis)
      ReadModeBlock(line, in, result, modes);
  } else if ((word == "NORMAL" || word.substr(0, 3) == "...") && qcout::Contains(line, "NORMAL COORDINATE ANALYSIS")) {
    // A new analysis of the same geometry replaces the one before.
    const bool end = qcout::Contains(line, "END OF");
    if (!end) {
      modes = ModeReading{modes.atoms};
      result.modes.clear();
    }
    modes.analysis = !end;
  } else if (word == "MODES" && qcout::Contains(line, "ARE TAKEN AS ROTATIONS AND TRANSLATIONS")) {
    const auto first = qcout::NumberAfter(line, "MODES"), last = qcout::NumberAfter(line, " TO ");
    if (first && last && *first >= 1 && *last >= *first && *last <= 1e6) {
      modes.firstRigid = static_cast<int>(*first);
      modes.lastRigid = static_cast<int>(*last);
    }
  } else if (word == "FREQUENCIES" && qcout::Contains(line, "IR INTENSITIES IN")) {
    modes.irFactor = qcout::Contains(line, "KM/MOL") ? 1.0 : kDebyeSquaredPerAmuAngstromSquared;
  } else if (word == "SCF" && qcout::Contains(line, "SCF IS UNCONVERGED")) {
    state.unconverged = true;
  } else if (word == "FINAL" && qcout::Contains(line, " ENERGY IS ")) {
    if (!result.scfEnergy && !state.unconverged) {
      const auto energy = qcout::NumberAfter(line, " ENERGY IS ");
      result.scfEnergy = energy;
      result.totalEnergy = energy;
      result.method = FinalMethod(line);
    }
    state.unconverged = false;
  } else if (word.substr(0, 7) == "E(MP2)=") {
    if (const auto energy = qcout::NumberAfter(line, "E(MP2)=")) {
      result.totalEnergy = energy;
      result.method = "MP2";
    }
  } else if (word == "COUPLED-CLUSTER" && qcout::Contains(line, "COUPLED-CLUSTER ENERGY E(")) {
    const size_t open = line.find("E(") + 2, close = line.rfind(") =");
    if (const auto energy = qcout::NumberAfter(line, ") ="); energy && close != std::string_view::npos) {
      result.totalEnergy = energy;
      result.method = TitleText(line.substr(open, close - open));
    }
  } else if (word == "MAXIMUM" && qcout::Contains(line, "MAXIMUM GRADIENT =")) {
    vl::Convergence& g = result.convergence;
    g.maxForce.value = qcout::NumberAfter(line, "MAXIMUM GRADIENT =");
    g.rmsForce.value = qcout::NumberAfter(line, "RMS GRADIENT =");
    if (state.opttol) {
      g.maxForce.threshold = *state.opttol;
      g.rmsForce.threshold = *state.opttol / 3.0;
    }
  }
}

int ReadGamessFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  State state;
  auto startsTable = [&](std::string_view line, LineReader& in) {
    // Both table headers have a parenthesis: memchr is much cheaper than the marker search.
    if (std::memchr(line.data(), '(', line.size()) == nullptr || !qcout::Contains(line, kCommonPart)) {
      if (!state.opttol && qcout::Word(line, 0) == "OPTTOL") // in the options echo
        state.opttol = qcout::NumberAfter(line, "OPTTOL = ");
      return 0;
    }
    if (qcout::Contains(line, kAngstromMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Angs)!\n");
      in.skip(2);
      return kAngstrom;
    }
    if (qcout::Contains(line, kBohrMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
      in.skip(1);
      return kBohr;
    }
    return 0;
  };
  auto readRows = [&](LineReader& in, int unit, vl::Molecule& molecule) {
    std::string_view line;
    std::string label;
    int position = 0;
    // Only a line shorter than two characters ends the table.
    while (in.next(line) && line.size() >= 2) {
      ++position;
      label.clear();
      float charge = 0, x = 0, y = 0, z = 0;
      FieldReader(line) >> label >> charge >> x >> y >> z;
      if (unit == kBohr) {
        x = qcout::BohrToAngstrom(x);
        y = qcout::BohrToAngstrom(y);
        z = qcout::BohrToAngstrom(z);
      }
      qcout::AddAtom(molecule, x, y, z, label + std::to_string(position),
                     qcout::TypeFromAtomicNumber(qcout::TruncateCharge(charge)));
    }
    state.modes = ModeReading{molecule.atoms()};
  };
  auto readResult = [&](std::string_view line, LineReader& in, vl::Calculation& result) {
    ReadResult(line, in, result, state);
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

} // namespace

extern const FileFormat kGamessFormat;
const FileFormat kGamessFormat = ContentFormat(
    FT_Gamess, "GAMESS output",
    {
        {{"COORDINATES OF ALL ATOMS ARE (ANGS)", " ATOM      ATOMIC                      COORDINATES (BOHR)"}},
        {{"  ATOM   CHARGE       X              Y              Z",
          "           CHARGE         X                   Y                   Z"}},
    },
    ReadGamessFile);
