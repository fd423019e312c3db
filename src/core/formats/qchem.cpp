// Q-Chem output: every "Standard Nuclear Orientation" table, one structure each
// (single points, optimisation and IRC steps, MD and finite-difference
// displacements), with what the job printed about it before the next table:
// the SCF energy, a correlated total energy, the optimiser's convergence table
// and the normal modes of a frequency job.
// The method is the one the echoed $rem section asks for, unless a correlated
// energy names its own. The subsystem runs of a fragment job (each fragment
// alone, counterpoise corrections) belong to the whole system and are skipped.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

// The optimiser reprints each geometry as "Coordinates (Angstroms)"; those
// copies are not read. Input in bohr is printed in bohr.
constexpr std::string_view kMarker = "Standard Nuclear Orientation (";
constexpr int kAngstrom = 1, kBohr = 2; // table kinds

struct Row {
  std::string symbol;
  float x, y, z;
};

std::string Upper(std::string_view text)
{
  std::string s(text);
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// "    1      C       1.3668132833     0.2787694006    -0.0000000000"
bool ReadRow(std::string_view line, Row& row)
{
  const auto index = qcout::ToNumber(qcout::Word(line, 0));
  const std::string_view symbol = qcout::Word(line, 1);
  const auto x = qcout::ToNumber(qcout::Word(line, 2)), y = qcout::ToNumber(qcout::Word(line, 3)),
             z = qcout::ToNumber(qcout::Word(line, 4));
  if (!index || !x || !y || !z || symbol.size() > 3 || !qcout::Word(line, 5).empty())
    return false;
  row.symbol = NormalizeSymbol(std::string(symbol));
  row.x = static_cast<float>(*x);
  row.y = static_cast<float>(*y);
  row.z = static_cast<float>(*z);
  return true;
}

// The echoed $rem section: "method = b3lyp", "EXCHANGE HF", "correlation mp2".
struct RemSection {
  bool inside = false;
  std::string method, exchange, correlation;

  void see(std::string_view line)
  {
    const std::string first = Upper(qcout::Word(line, 0));
    if (first == "$REM") {
      *this = RemSection();
      inside = true;
      return;
    }
    if (!inside)
      return;
    if (first == "$END") {
      inside = false;
      return;
    }
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos)
      return;
    line.remove_prefix(start);
    const size_t end = line.find_first_of(" \t=");
    const std::string key = Upper(line.substr(0, end));
    std::string_view rest = end == std::string_view::npos ? std::string_view() : line.substr(end);
    const size_t value = rest.find_first_not_of(" \t=");
    const std::string word = value == std::string_view::npos ? "" : Upper(qcout::Word(rest.substr(value), 0));
    if (key == "METHOD")
      method = word;
    else if (key == "EXCHANGE")
      exchange = word;
    else if (key == "CORRELATION")
      correlation = word;
  }

  std::string name() const
  {
    if (!method.empty())
      return method;
    const bool correlated = !correlation.empty() && correlation != "NONE";
    return correlated && (exchange.empty() || exchange == "HF") ? correlation : exchange;
  }
};

// A correlated total energy: "CCSD total energy = -75.0176", "MP2 energy = ...",
// "RI-MP2 TOTAL ENERGY = ...", "Total SOS-MP2 energy = ...", "EMP4 = ...".
// Returns the method as printed; empty for any other line.
std::string CorrelatedEnergy(std::string_view line, std::optional<double>& value)
{
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos)
    return {};
  const std::string_view left = line.substr(0, equals);
  std::string_view words[4];
  int n = 0;
  while (n < 4 && !(words[n] = qcout::Word(left, n)).empty())
    ++n;
  std::string_view name;
  if (n == 3 && Upper(words[1]) == "TOTAL" && Upper(words[2]) == "ENERGY")
    name = words[0];
  else if (n == 3 && Upper(words[0]) == "TOTAL" && Upper(words[2]) == "ENERGY")
    name = words[1];
  else if (n == 2 && Upper(words[1]) == "ENERGY")
    name = words[0];
  else if (n == 1 && words[0].size() > 3 && words[0].substr(0, 3) == "EMP")
    name = words[0].substr(1);
  const std::string upper = Upper(name);
  if (upper.find("MP") == std::string::npos && upper.find("CC") == std::string::npos &&
      upper.find("CI") == std::string::npos)
    return {};
  value = qcout::ToNumber(qcout::Word(line.substr(equals + 1), 0));
  return value ? std::string(name) : std::string();
}

// "Gradient  0.041660  0.000300  NO": value, tolerance and verdict.
void ReadCriterion(std::string_view line, vl::ConvergenceCriterion& criterion)
{
  criterion.value = qcout::ToNumber(qcout::Word(line, 1));
  criterion.threshold = qcout::ToNumber(qcout::Word(line, 2));
  const std::string_view verdict = qcout::Word(line, 3);
  if (verdict == "YES" || verdict == "NO")
    criterion.converged = verdict == "YES";
}

// The blank-separated words of the line in one pass, into `words` (its
// capacity reused): long outputs split millions of lines.
void SplitWords(std::string_view line, std::vector<std::string_view>& words)
{
  words.clear();
  size_t begin = 0;
  bool inWord = false;
  for (size_t i = 0; i <= line.size(); ++i) {
    const bool blank = i == line.size() || line[i] == ' ' || line[i] == '\t' || line[i] == '\r';
    if (blank && inWord)
      words.push_back(line.substr(begin, i - begin));
    else if (!blank && !inWord)
      begin = i;
    inWord = !blank;
  }
}

// A plain decimal ("-0.123456") read in place: mode tables hold hundreds of
// thousands. Up to 15 digits make an exact integer and one division by an
// exact power of ten, rounded as from_chars rounds; anything else goes to
// qcout::ToNumber.
std::optional<double> Decimal(std::string_view word)
{
  static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = !word.empty() && word[0] == '-';
  unsigned long long digits = 0;
  int count = 0, decimals = -1;
  for (size_t i = negative ? 1 : 0; i < word.size(); ++i) {
    const char c = word[i];
    if (c == '.' && decimals < 0)
      decimals = 0;
    else if (c >= '0' && c <= '9' && count < 15)
      digits = digits * 10 + static_cast<unsigned>(c - '0'), ++count, decimals += decimals >= 0;
    else
      return qcout::ToNumber(word);
  }
  if (count == 0)
    return qcout::ToNumber(word);
  const double value = static_cast<double>(digits) / kTens[decimals < 0 ? 0 : decimals];
  return negative ? -value : value;
}

// The numbers after a "Frequency:" or "IR Intens:" label of `labelWords`
// words; empty unless there is one per column.
std::vector<double> Values(const std::vector<std::string_view>& w, size_t labelWords, size_t columns)
{
  std::vector<double> values;
  for (size_t k = labelWords; k < w.size(); ++k)
    if (const auto v = qcout::ToNumber(w[k]))
      values.push_back(*v);
  return values.size() == columns && w.size() == labelWords + columns ? values : std::vector<double>();
}

// The "VIBRATIONAL ANALYSIS" section: blocks of up to three modes, "Mode:",
// "Frequency:" (an imaginary one negative), "IR Intens:", "Raman Intens:",
// then an "X Y Z" row per atom and the transition dipole, up to the first
// other line between blocks.
struct Vibrations {
  bool inside = false;
  size_t atoms = 0; // of the structure the lines belong to
  size_t columns = 0;
  std::vector<double> frequencies, ir, raman;
  std::vector<vl::fvec3> rows; // by atom, then column
  bool inRows = false;
  std::vector<std::string_view> words;

  // True when the line belongs to the section.
  bool see(std::string_view line, vl::Calculation& c)
  {
    if (!inRows && qcout::Contains(line, " VIBRATIONAL ANALYSIS ") && qcout::Contains(line, "**")) {
      inside = true;
      columns = 0;
      c.modes.clear();
      return true;
    }
    if (!inside)
      return false;
    std::vector<std::string_view>& w = words;
    SplitWords(line, w);
    if (inRows)
      return row(w, c);
    if (w.empty())
      return true;
    if (columns == 0 && w[0] != "Mode:" && w[0].substr(0, 2) != "**") {
      inside = false; // past the last block
      return false;
    }
    if (w[0] == "Mode:") {
      columns = w.size() - 1;
      frequencies.clear();
      ir.clear();
      raman.clear();
    } else if (w[0] == "Frequency:") {
      frequencies = Values(w, 1, columns);
    } else if (w.size() > 2 && w[0] == "IR" && w[1] == "Intens:") {
      ir = Values(w, 2, columns);
    } else if (w.size() > 2 && w[0] == "Raman" && w[1] == "Intens:") {
      raman = Values(w, 2, columns);
    } else if (w[0] == "X" && columns > 0 && frequencies.size() == columns && w.size() == 3 * columns) {
      inRows = true;
      rows.clear();
    }
    return true;
  }

  // "C  -0.000 -0.000 -0.079  -0.000 0.000 -0.086 ...", up to the transition
  // dipole or a blank line; a block of another size is dropped.
  bool row(const std::vector<std::string_view>& w, vl::Calculation& c)
  {
    if (w.empty() || w[0] == "TransDip") {
      inRows = false;
      if (rows.size() == atoms * columns && atoms > 0)
        for (size_t k = 0; k < columns; ++k) {
          vl::NormalMode& m = c.modes.emplace_back();
          m.frequency = frequencies[k];
          if (ir.size() == columns)
            m.irIntensity = ir[k];
          if (raman.size() == columns)
            m.ramanActivity = raman[k];
          for (size_t a = 0; a < atoms; ++a)
            m.displacement.push_back(rows[a * columns + k]);
        }
      columns = 0;
      return true;
    }
    std::optional<double> v[3];
    if (w.size() != 1 + 3 * columns || rows.size() >= atoms * columns) {
      inRows = false; // not this block's row
      columns = 0;
      return true;
    }
    for (size_t k = 0; k < columns; ++k) {
      for (size_t i = 0; i < 3; ++i)
        v[i] = Decimal(w[1 + 3 * k + i]);
      if (!v[0] || !v[1] || !v[2]) {
        inRows = false;
        columns = 0;
        return true;
      }
      rows.emplace_back(static_cast<float>(*v[0]), static_cast<float>(*v[1]), static_cast<float>(*v[2]));
    }
    return true;
  }
};

int ReadQChemFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  RemSection rem;
  bool inConvergence = false, correlated = false;
  bool inFragment = false; // a subsystem run of a fragment job
  bool field = false;      // a finite field is on for the next SCF
  Vibrations vibrations;

  auto startsTable = [&](std::string_view line, LineReader& in) {
    rem.see(line); // the input echo comes before the job's first table
    if (qcout::Contains(line, " fragment ") && qcout::Contains(line, " out of "))
      inFragment = true; // "SCF on fragment 1 out of 2", "RS CP correction for fragment 2 out of 2"
    else if (qcout::Contains(line, "Copy Fragment Subsystem") ||
             (qcout::Contains(line, "Done with ") && qcout::Contains(line, " fragments")))
      inFragment = false;
    if (inFragment || !qcout::Contains(line, kMarker))
      return 0;
    const int kind = qcout::Contains(line, "(Angstroms)") ? kAngstrom : qcout::Contains(line, "(Bohr)") ? kBohr : 0;
    if (kind == kAngstrom)
      qcout::Announce(log, "Found Standard Nuclear Orientation (Angstroms)!\n");
    else if (kind == kBohr)
      qcout::Announce(log, "Found Standard Nuclear Orientation (Bohr)!\n");
    if (kind != 0)
      in.skip(2);
    return kind;
  };
  auto readRows = [&](LineReader& in, int unit, vl::Molecule& molecule) {
    inConvergence = correlated = field = false;
    vibrations = Vibrations();
    // Rows up to the dashed rule; a table cut short or broken is no structure.
    std::vector<Row> rows;
    std::string_view line;
    Row row;
    bool closed = false;
    while (in.next(line)) {
      if (qcout::Word(line, 0).substr(0, 1) == "-") {
        closed = true;
        break;
      }
      if (!ReadRow(line, row))
        break;
      rows.push_back(row);
    }
    if (!closed)
      return;
    for (size_t i = 0; i < rows.size(); ++i) {
      Row& r = rows[i];
      if (unit == kBohr) {
        r.x = qcout::BohrToAngstrom(r.x);
        r.y = qcout::BohrToAngstrom(r.y);
        r.z = qcout::BohrToAngstrom(r.z);
      }
      qcout::AddAtom(molecule, r.x, r.y, r.z, r.symbol + std::to_string(i + 1), vl::atomType(r.symbol));
    }
    molecule.calculation().method = rem.name();
    vibrations.atoms = rows.size();
  };
  auto readResult = [&](std::string_view line, LineReader&, vl::Calculation& calculation) {
    const std::string_view first = qcout::Word(line, 0);
    if (inFragment || vibrations.see(line, calculation))
      return;
    if (inConvergence) {
      if (first == "Gradient")
        ReadCriterion(line, calculation.convergence.maxForce);
      else if (first == "Displacement")
        ReadCriterion(line, calculation.convergence.maxDisplacement);
      else
        inConvergence = first == "Energy";
      return;
    }
    if (qcout::Contains(line, "Total energy in the final basis set")) {
      // Finite-field runs (polarisabilities, Raman) repeat the SCF at the same
      // geometry: the field-free one is the geometry's energy.
      if (!field || !calculation.scfEnergy)
        calculation.scfEnergy = qcout::NumberAfter(line, "=");
      if (!correlated)
        calculation.totalEnergy = calculation.scfEnergy;
      field = false;
    } else if (qcout::Contains(line, "Applying Cartesian multipole field")) {
      field = true;
    } else if (qcout::Contains(line, "Tolerance") && qcout::Contains(line, "Cnvgd?")) {
      inConvergence = true;
    } else if (std::optional<double> energy; !first.empty()) {
      if (std::string method = CorrelatedEnergy(line, energy); !method.empty()) {
        correlated = true;
        calculation.totalEnergy = energy;
        calculation.method = std::move(method);
      }
    }
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

} // namespace

extern const FileFormat kQChemFormat;
const FileFormat kQChemFormat = ContentFormat(FT_QChem, "Q-Chem output",
                                              {
                                                  // The banner's first line.
                                                  {{"Welcome to Q-Chem"}},
                                              },
                                              ReadQChemFile);
