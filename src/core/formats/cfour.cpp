// CFOUR log: coordinate tables in Bohr, one structure each. The normal
// coordinates of a frequency job go to the structure of the table before them.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/chemistry/vibration.h"

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kMarker = " Z-matrix   Atomic            Coordinates (in bohr)";

// CFOUR closes every table with a dashed rule right under the last row; read
// as a row it would become a phantom atom at the origin, so it ends the table.
bool IsDashedRule(std::string_view line)
{
  bool dash = false;
  for (char c : line) {
    if (c == '-')
      dash = true;
    else if (c != ' ' && c != '\r')
      return false;
  }
  return dash;
}

// What CFOUR printed about the geometry of the table before: the SCF energy
// at convergence, then each correlated level, then its final energy.
void ReadResult(std::string_view line, vl::Calculation& result)
{
  struct Level {
    std::string_view marker;
    const char* method; // null: the level stays as named before
  };
  static constexpr Level kLevels[] = {
      {"Total MP2 energy        =", "MP2"},        {"E(CCSD)           =", "CCSD"},
      {"E(CCSD(T))        =", "CCSD(T)"},          {"The total energy is", nullptr},
      {"The final electronic energy is", nullptr},
  };
  if (qcout::Contains(line, "E(SCF)=")) {
    const auto energy = qcout::NumberAfter(line, "E(SCF)=");
    result.scfEnergy = energy;
    result.totalEnergy = energy;
    result.method = "SCF";
    return;
  }
  for (const Level& level : kLevels)
    if (qcout::Contains(line, level.marker)) {
      if (const auto energy = qcout::NumberAfter(line, level.marker)) {
        result.totalEnergy = energy;
        if (level.method)
          result.method = level.method;
      }
      return;
    }
  // CFOUR names the smallest force "Minimum force"; only its RMS force is a criterion.
  if (qcout::Contains(line, "Minimum force:") && qcout::Contains(line, "RMS force:"))
    result.convergence.rmsForce.value = qcout::NumberAfter(line, "RMS force:");
}

// A frequency as CFOUR prints it; an imaginary one ends in "i" and becomes negative.
std::optional<double> Frequency(std::string_view word)
{
  const bool imaginary = !word.empty() && word.back() == 'i';
  const auto value = qcout::ToNumber(imaginary ? word.substr(0, word.size() - 1) : word);
  if (!value)
    return std::nullopt;
  return imaginary ? -std::fabs(*value) : *value;
}

// The frequencies of a line of them; empty when a word is none.
std::vector<double> Frequencies(std::string_view line)
{
  std::vector<double> values;
  for (int n = 0;; ++n) {
    const std::string_view word = qcout::Word(line, n);
    if (word.empty())
      return values;
    const auto value = Frequency(word);
    if (!value)
      return {};
    values.push_back(*value);
  }
}

// What the frequency analysis of the current structure printed so far.
struct ModeReading {
  std::vector<int> atomicNumbers; // of the table rows; dummy atoms (0) have no row in the modes
  std::vector<double> masses;     // "masses used (in AMU) in vibrational analysis", one per real atom
  struct Intensity {
    double frequency, ir;
    bool used;
  };
  std::vector<Intensity> intensities; // the VIBRATION rows of the frequency table
};

// The table gives each vibration's IR intensity with its frequency, the
// normal coordinates the frequency alone (to 0.01 cm-1): matched by frequency,
// in order among equal ones. Only the modes from `firstMode` and the rows from
// `firstRow` on are new.
void MatchIntensities(std::vector<vl::NormalMode>& modes, size_t firstMode, std::vector<ModeReading::Intensity>& rows,
                      size_t firstRow)
{
  for (size_t r = firstRow; r < rows.size(); ++r)
    for (size_t m = firstMode; m < modes.size() && !rows[r].used; ++m)
      if (!modes[m].irIntensity && std::fabs(modes[m].frequency - rows[r].frequency) <= 0.006) {
        modes[m].irIntensity = rows[r].ir;
        rows[r].used = true;
      }
}

// The "masses used" lines: the numbers up to one per real atom, or to the
// first line that holds another word.
std::vector<double> ReadMasses(LineReader& in, const std::vector<int>& atomicNumbers)
{
  const size_t atoms =
      static_cast<size_t>(std::count_if(atomicNumbers.begin(), atomicNumbers.end(), [](int z) { return z > 0; }));
  std::vector<double> masses;
  std::string_view line;
  for (int blank = 0; masses.size() < atoms && blank < 3 && in.next(line);) {
    if (qcout::Word(line, 0).empty())
      ++blank;
    else if (!qcout::Numbers(line, masses))
      break;
  }
  return masses;
}

// The "Normal Coordinates" section: blocks of up to three modes (symmetry,
// frequency and kind lines, then one row of x y z per mode for each real
// atom), apart by blank lines. The coordinates are mass-weighted: dividing
// each atom's by the square root of its mass gives its displacement. Only
// vibrations are kept; a block not whole ends the modes.
void ReadNormalCoordinates(LineReader& in, vl::Calculation& result, ModeReading& state)
{
  result.modes.clear();
  for (ModeReading::Intensity& row : state.intensities)
    row.used = false;
  std::vector<size_t> real; // the structure's atoms that have rows
  for (size_t i = 0; i < state.atomicNumbers.size(); ++i)
    if (state.atomicNumbers[i] > 0)
      real.push_back(i);
  std::vector<double> scale(real.size(), 1.0);
  for (size_t r = 0; r < real.size(); ++r) {
    const double mass = state.masses.size() == real.size() ? state.masses[r] : AtomicMass(state.atomicNumbers[real[r]]);
    if (mass > 0)
      scale[r] = 1 / std::sqrt(mass);
  }
  std::string_view line;
  std::vector<double> values;
  while (!real.empty()) {
    bool found = false;
    for (int blank = 0; !found && blank < 4 && in.next(line); ++blank)
      found = !qcout::Word(line, 0).empty();
    if (!found || IsDashedRule(line))
      return;
    // The symmetry labels, then the frequencies; a release without labels starts with the frequencies.
    std::vector<double> frequencies = Frequencies(line);
    if (frequencies.empty() && in.next(line))
      frequencies = Frequencies(line);
    const size_t k = frequencies.size();
    if (k == 0 || k > 10 || !in.next(line))
      return;
    std::vector<bool> vibration(k, true);
    for (size_t m = 0; m < k; ++m)
      vibration[m] = qcout::Word(line, static_cast<int>(m)) == "VIBRATION";
    std::vector<vl::NormalMode> block(k);
    for (size_t m = 0; m < k; ++m) {
      block[m].frequency = frequencies[m];
      block[m].displacement.resize(state.atomicNumbers.size());
    }
    for (size_t r = 0; r < real.size(); ++r) {
      // The element symbol, then the values.
      values.clear();
      const std::string_view symbol = in.next(line) ? qcout::Word(line, 0) : std::string_view();
      if (symbol.empty() ||
          !qcout::Numbers(line.substr(static_cast<size_t>(symbol.data() - line.data()) + symbol.size()), values) ||
          values.size() != 3 * k)
        return;
      for (size_t m = 0; m < k; ++m)
        block[m].displacement[real[r]] =
            vl::fvec3(static_cast<float>(values[3 * m] * scale[r]), static_cast<float>(values[3 * m + 1] * scale[r]),
                      static_cast<float>(values[3 * m + 2] * scale[r]));
    }
    const size_t from = result.modes.size();
    for (size_t m = 0; m < k; ++m)
      if (vibration[m])
        result.modes.push_back(std::move(block[m]));
    MatchIntensities(result.modes, from, state.intensities, 0);
  }
}

// A row of the frequency table: symmetry, frequency, IR intensity, kind.
void ReadIntensity(std::string_view line, vl::Calculation& result, ModeReading& state)
{
  if (qcout::Word(line, 3) != "VIBRATION" || !qcout::Word(line, 4).empty())
    return;
  const auto frequency = Frequency(qcout::Word(line, 1));
  const auto ir = qcout::ToNumber(qcout::Word(line, 2));
  if (!frequency || !ir)
    return;
  state.intensities.push_back({*frequency, *ir, false});
  MatchIntensities(result.modes, 0, state.intensities, state.intensities.size() - 1);
}

int ReadCfourLogFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!qcout::Contains(line, kMarker))
      return 0;
    qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
    in.skip(2);
    return 1;
  };
  ModeReading modes;
  auto readRows = [&](LineReader& in, int, vl::Molecule& molecule) {
    modes = ModeReading();
    std::string_view line;
    std::string symbol;
    int position = 0;
    while (in.next(line) && line.size() >= 2 && !IsDashedRule(line)) {
      ++position;
      symbol.clear();
      int atomicNumber = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> symbol >> atomicNumber >> x >> y >> z;
      qcout::AddAtom(molecule, qcout::BohrToAngstrom(x), qcout::BohrToAngstrom(y), qcout::BohrToAngstrom(z),
                     symbol + std::to_string(position), qcout::TypeFromAtomicNumber(atomicNumber));
      modes.atomicNumbers.push_back(atomicNumber);
    }
  };
  auto readResult = [&](std::string_view line, LineReader& in, vl::Calculation& result) {
    if (qcout::Contains(line, "VIBRATION"))
      ReadIntensity(line, result, modes);
    else if (qcout::Contains(line, "masses used"))
      modes.masses = ReadMasses(in, modes.atomicNumbers);
    else if (qcout::Contains(line, "Normal Coordinates") && qcout::Word(line, 2).empty())
      ReadNormalCoordinates(in, result, modes);
    else
      ReadResult(line, result);
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

} // namespace

extern const FileFormat kCfourFormat;
const FileFormat kCfourFormat =
    ContentFormat(FT_Cfour, "CFOUR log",
                  {
                      {{"* CFOUR Coupled-Cluster techniques for Computational Chemistry *"}},
                  },
                  ReadCfourLogFile);
