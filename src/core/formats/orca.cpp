// ORCA output: every geometry as printed in angstrom (optimisation cycles,
// scan points, MD steps, the final evaluation), one structure each, with what
// the job printed about it before the next geometry: the SCF energy, the final
// single point energy, the method, the optimiser's convergence table and the
// normal modes of a frequency job.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

// The a.u. table that follows repeats the same geometry: only this one is read.
constexpr std::string_view kMarker = "CARTESIAN COORDINATES (ANGSTROEM)";

struct Row {
  std::string symbol;
  float x, y, z;
  bool embedding; // an embedding potential's centre ("Ca>"): no atom of the system
};

bool StartsWith(std::string_view line, std::string_view text)
{
  return line.substr(0, text.size()) == text;
}

// "  C     -1.415253    0.230222    0.000000". Ghost atoms and embedding
// centres carry a mark behind the symbol ("H:", "Ca>"); a dummy atom is a dash.
bool ReadRow(std::string_view line, Row& row)
{
  const auto x = qcout::ToNumber(qcout::Word(line, 1)), y = qcout::ToNumber(qcout::Word(line, 2)),
             z = qcout::ToNumber(qcout::Word(line, 3));
  std::string_view symbol = qcout::Word(line, 0);
  row.embedding = !symbol.empty() && symbol.back() == '>';
  if (!symbol.empty() && (symbol.back() == '>' || symbol.back() == ':'))
    symbol.remove_suffix(1);
  if (!x || !y || !z || symbol.empty() || symbol.size() > 2 || !qcout::Word(line, 4).empty())
    return false;
  row.symbol = symbol == "-" ? "X" : NormalizeSymbol(std::string(symbol));
  row.x = static_cast<float>(*x);
  row.y = static_cast<float>(*y);
  row.z = static_cast<float>(*z);
  return true;
}

// "  Hartree-Fock type      HFTyp           .... RHF": the word after the dots.
std::string_view SettingValue(std::string_view line)
{
  const size_t dots = line.find("....");
  return dots == std::string_view::npos ? std::string_view() : qcout::Word(line.substr(dots + 4), 0);
}

// "E(CCSD(T))   ...   -75.013556306": the name between the outer parentheses.
std::string_view EnergyName(std::string_view line)
{
  const std::string_view word = qcout::Word(line, 0);
  if (word.size() < 4 || !StartsWith(word, "E(") || word.back() != ')')
    return {};
  return word.substr(2, word.size() - 3);
}

// "  6:" with the expected mode number.
bool IsModeNumber(std::string_view word, size_t n)
{
  return word.size() > 1 && word.back() == ':' && qcout::IsCount(word.substr(0, word.size() - 1)) &&
         std::stoul(std::string(word.substr(0, word.size() - 1))) == n;
}

// The mode number of an "  6:" row; absent for anything else.
std::optional<size_t> ModeNumber(std::string_view word)
{
  if (word.size() < 2 || word.back() != ':' || !qcout::IsCount(word.substr(0, word.size() - 1)))
    return std::nullopt;
  return std::stoul(std::string(word.substr(0, word.size() - 1)));
}

// The sections of a frequency job, read line by line. "VIBRATIONAL FREQUENCIES"
// lists all 3N, the translations and rotations as zeros first; "NORMAL MODES"
// prints them as columns of 3N rows, six or ten at a time; the IR and Raman
// tables follow by mode number. The modes kept start at the first nonzero
// frequency (an imaginary one is printed negative).
struct Vibrations {
  enum Section { kNone, kFrequencies, kModes, kIr, kRaman } section = kNone;
  size_t atoms = 0;                // of the structure the lines belong to
  std::vector<double> frequencies; // by mode number
  size_t first = 0;                // the first mode kept
  size_t done = 0;                 // modes whose columns are complete
  size_t columns = 0, rows = 0;    // the open block: its columns, the rows read
  std::vector<float> block;        // rows by columns
  int idle = 0;                    // lines of the section before its first row
  int intensityColumn = -1;        // the km/mol column of the IR table
  std::vector<std::string_view> words;

  void start(Section s)
  {
    section = s;
    idle = 0;
  }

  // True when the line belongs to a frequency section. Each section's title
  // and explanations come before its rows; the first other line ends it.
  bool see(std::string_view line, vl::Calculation& c)
  {
    if (StartsWith(line, "VIBRATIONAL FREQUENCIES")) {
      start(kFrequencies);
      frequencies.clear();
      return true;
    }
    if (StartsWith(line, "NORMAL MODES")) {
      c.modes.clear();
      start(kNone);
      size_t n = 0;
      while (n < frequencies.size() && frequencies[n] == 0)
        ++n;
      // A table of another size belongs to no geometry read here.
      if (atoms > 1 && frequencies.size() == 3 * atoms && n < frequencies.size()) {
        start(kModes);
        first = n;
        done = columns = rows = 0;
      }
      return true;
    }
    if (StartsWith(line, "IR SPECTRUM") || StartsWith(line, "RAMAN SPECTRUM")) {
      start(line[0] == 'I' ? kIr : kRaman);
      intensityColumn = -1;
      return true;
    }
    if (section == kNone)
      return false;
    qcout::SplitWords(line, words);
    if (words.empty()) {
      // Blank lines come before the rows, and between blocks of modes.
      if ((section == kModes && rows > 0) || (section != kModes && idle < 0))
        start(kNone);
      return true;
    }
    const bool row = section == kModes ? modeRow(c) : section == kFrequencies ? frequency() : spectrumRow(line, c);
    if (row)
      idle = -1;
    else if (idle >= 0 && ++idle <= 8)
      return true;
    else
      start(kNone);
    return row;
  }

  // "   6:      43.87 cm**-1    2-Au".
  bool frequency()
  {
    const auto value = words.size() > 2 ? qcout::ToNumber(words[1]) : std::nullopt;
    if (!value || !IsModeNumber(words[0], frequencies.size()) || words[2] != "cm**-1")
      return false;
    frequencies.push_back(*value);
    return true;
  }

  // A block's mode numbers (under them ORCA 6 prints symmetry labels), then
  // its rows: the coordinate's number and a value per column.
  bool modeRow(vl::Calculation& c)
  {
    const std::vector<std::string_view>& w = words;
    if (columns == 0) {
      for (size_t k = 0; k < w.size(); ++k)
        if (!qcout::IsCount(w[k]) || std::stoul(std::string(w[k])) != done + k || done + k >= frequencies.size())
          return false;
      columns = w.size();
      rows = 0;
      block.assign(3 * atoms * columns, 0.0f);
      return true;
    }
    if (rows == 0 && !qcout::IsCount(w[0]))
      return true; // the symmetry labels
    if (!qcout::IsCount(w[0]) || std::stoul(std::string(w[0])) != rows || w.size() != columns + 1)
      return false;
    if (!qcout::ReadBlockValues(w, 1, columns, block.data() + rows * columns))
      return false;
    if (++rows < 3 * atoms)
      return true;
    for (size_t k = 0; k < columns; ++k) {
      if (done + k < first)
        continue;
      vl::NormalMode& m = c.modes.emplace_back();
      m.frequency = frequencies[done + k];
      m.displacement.resize(atoms);
      for (size_t a = 0; a < atoms; ++a)
        m.displacement[a] = qcout::BlockVector(block, columns, a, k);
    }
    done += columns;
    columns = rows = 0;
    return done < frequencies.size();
  }

  // "  6:     43.87   0.000005    0.03  0.000037  ( ...": the intensity in km/mol is
  // "Int" where printed (ORCA 5 on), before that "T**2"; Raman: the activity.
  bool spectrumRow(std::string_view line, vl::Calculation& c)
  {
    if (words[0] == "Mode") {
      intensityColumn = qcout::Contains(line, " Int ") ? 3 : qcout::Contains(line, "T**2") ? 2 : -1;
      return false; // a title line
    }
    const std::optional<size_t> n = ModeNumber(words[0]);
    if (!n)
      return false;
    if (*n < first || *n - first >= c.modes.size())
      return true;
    vl::NormalMode& m = c.modes[*n - first];
    const size_t column = section == kRaman ? 2 : static_cast<size_t>(intensityColumn);
    if (section == kRaman || intensityColumn > 0)
      (section == kRaman ? m.ramanActivity : m.irIntensity) =
          column < words.size() ? qcout::ToNumber(words[column]) : std::nullopt;
    return true;
  }
};

int ReadOrcaFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  // The SCF settings are printed once per job; later geometries keep them.
  bool dft = false;
  std::string scfMethod, correlation; // as the SCF and the MDCI module name them
  bool inConvergence = false;
  Vibrations vibrations;

  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!qcout::Contains(line, kMarker))
      return 0;
    qcout::Announce(log, "Found Cartesian coordinates (Angstroem)!\n");
    in.skip(1);
    return 1;
  };
  auto readRows = [&](LineReader& in, int, vl::Molecule& molecule) {
    inConvergence = false;
    vibrations = Vibrations();
    // Rows up to the blank line; a table cut short or broken is no structure.
    std::vector<Row> rows;
    std::string_view line;
    Row row;
    bool closed = false;
    while (in.next(line)) {
      if (qcout::Word(line, 0).empty()) {
        closed = true;
        break;
      }
      if (!ReadRow(line, row))
        break;
      if (!row.embedding)
        rows.push_back(row);
    }
    if (!closed)
      return;
    for (size_t i = 0; i < rows.size(); ++i)
      qcout::AddAtom(molecule, rows[i].x, rows[i].y, rows[i].z, rows[i].symbol + std::to_string(i + 1),
                     vl::atomType(rows[i].symbol));
    molecule.calculation().method = scfMethod;
    vibrations.atoms = rows.size();
  };
  auto readResult = [&](std::string_view line, LineReader&, vl::Calculation& calculation) {
    if (vibrations.see(line, calculation))
      return;
    if (inConvergence) {
      const std::string_view first = qcout::Word(line, 0), second = qcout::Word(line, 1);
      vl::Convergence& c = calculation.convergence;
      if (second == "gradient" || second == "step") {
        qcout::ReadCriterion(line, 2,
                             first == "RMS" ? (second == "step" ? c.rmsDisplacement : c.rmsForce)
                                            : (second == "step" ? c.maxDisplacement : c.maxForce));
        return;
      }
      // The header and its rule precede the rows; a row of dots follows them.
      inConvergence = first == "Item" || (!first.empty() && first[0] == '-') || second == "change";
      return;
    }
    if (StartsWith(line, "Total Energy") && qcout::Word(line, 2) == ":") {
      // The SCF result; the iterations print theirs indented.
      calculation.scfEnergy = qcout::ToNumber(qcout::Word(line, 3));
    } else if (qcout::Contains(line, "FINAL SINGLE POINT ENERGY")) {
      calculation.totalEnergy = qcout::NumberAfter(line, "FINAL SINGLE POINT ENERGY");
    } else if (qcout::Contains(line, "|Geometry convergence|")) {
      inConvergence = true;
    } else if (qcout::Contains(line, "....") && qcout::Contains(line, " Method ")) {
      // "Ab initio Hamiltonian  Method .... Hartree-Fock(GTOs)" or "Density Functional  Method .... DFT(GTOs)"
      dft = qcout::Contains(SettingValue(line), "DFT");
    } else if (qcout::Contains(line, "HFTyp") && !SettingValue(line).empty()) {
      std::string reference(SettingValue(line));
      if (dft && reference.size() >= 2 && reference.compare(reference.size() - 2, 2, "HF") == 0)
        reference.replace(reference.size() - 2, 2, "KS");
      scfMethod = reference;
      calculation.method = scfMethod;
    } else if (StartsWith(line, "Correlation treatment")) {
      correlation = std::string(qcout::Word(line, 3));
    } else if (StartsWith(line, "MP2 TOTAL ENERGY") && !dft) {
      calculation.method = "MP2"; // a double hybrid prints it too, and stays DFT
    } else if (const std::string_view name = EnergyName(line); !name.empty()) {
      if (name == "TOT" && !correlation.empty() && correlation != "MP")
        calculation.method = correlation;
      else if (StartsWith(name, "MP") || StartsWith(name, "CC") || StartsWith(name, "QCI"))
        calculation.method = std::string(name);
    }
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

} // namespace

extern const FileFormat kOrcaFormat;
const FileFormat kOrcaFormat = ContentFormat(FT_Orca, "ORCA output",
                                             {
                                                 // The banner and the version line under it, which every
                                                 // release prints first.
                                                 {{"* O   R   C   A *"}},
                                                 {{"Program Version"}},
                                             },
                                             ReadOrcaFile);
