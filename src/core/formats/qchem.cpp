// Q-Chem output: every "Standard Nuclear Orientation" table, one structure each
// (single points, optimisation and IRC steps, MD and finite-difference
// displacements), with what the job printed about it before the next table:
// the SCF energy, a correlated total energy, the optimiser's convergence table
// and the normal modes of a frequency job.
// The method is the one the echoed $rem section asks for, unless a correlated
// energy names its own. The subsystem runs of a fragment job (each fragment
// alone, counterpoise corrections) belong to the whole system and are skipped.
#include <algorithm>
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
    const std::string first = qcout::Upper(qcout::Word(line, 0));
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
    const std::string key = qcout::Upper(line.substr(0, end));
    std::string_view rest = end == std::string_view::npos ? std::string_view() : line.substr(end);
    const size_t value = rest.find_first_not_of(" \t=");
    const std::string word = value == std::string_view::npos ? "" : qcout::Upper(qcout::Word(rest.substr(value), 0));
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
  if (n == 3 && qcout::Upper(words[1]) == "TOTAL" && qcout::Upper(words[2]) == "ENERGY")
    name = words[0];
  else if (n == 3 && qcout::Upper(words[0]) == "TOTAL" && qcout::Upper(words[2]) == "ENERGY")
    name = words[1];
  else if (n == 2 && qcout::Upper(words[1]) == "ENERGY")
    name = words[0];
  else if (n == 1 && words[0].size() > 3 && words[0].substr(0, 3) == "EMP")
    name = words[0].substr(1);
  const std::string upper = qcout::Upper(name);
  if (upper.find("MP") == std::string::npos && upper.find("CC") == std::string::npos &&
      upper.find("CI") == std::string::npos)
    return {};
  value = qcout::ToNumber(qcout::Word(line.substr(equals + 1), 0));
  return value ? std::string(name) : std::string();
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
    qcout::SplitWords(line, w);
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
      qcout::AppendBlockModes(atoms, columns, frequencies, ir, raman, rows, c.modes);
      columns = 0;
      return true;
    }
    if (w.size() != 1 + 3 * columns || rows.size() >= atoms * columns || !qcout::ReadVectorRow(w, 1, columns, rows)) {
      inRows = false; // not this block's row, or a malformed one
      columns = 0;
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
        qcout::ReadCriterion(line, 1, calculation.convergence.maxForce);
      else if (first == "Displacement")
        qcout::ReadCriterion(line, 1, calculation.convergence.maxDisplacement);
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
