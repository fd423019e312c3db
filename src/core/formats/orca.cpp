// ORCA output: every geometry as printed in angstrom (optimisation cycles,
// scan points, MD steps, the final evaluation), one structure each, with what
// the job printed about it before the next geometry: the SCF energy, the final
// single point energy, the method and the optimiser's convergence table.
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

// "RMS gradient  0.00033  0.00010  NO": value, tolerance and verdict.
void ReadCriterion(std::string_view line, vl::ConvergenceCriterion& criterion)
{
  criterion.value = qcout::ToNumber(qcout::Word(line, 2));
  criterion.threshold = qcout::ToNumber(qcout::Word(line, 3));
  const std::string_view verdict = qcout::Word(line, 4);
  if (verdict == "YES" || verdict == "NO")
    criterion.converged = verdict == "YES";
}

int ReadOrcaFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  // The SCF settings are printed once per job; later geometries keep them.
  bool dft = false;
  std::string scfMethod, correlation; // as the SCF and the MDCI module name them
  bool inConvergence = false;

  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!qcout::Contains(line, kMarker))
      return 0;
    qcout::Announce(log, "Found Cartesian coordinates (Angstroem)!\n");
    in.skip(1);
    return 1;
  };
  auto readRows = [&](LineReader& in, int, vl::Molecule& molecule) {
    inConvergence = false;
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
  };
  auto readResult = [&](std::string_view line, LineReader&, vl::Calculation& calculation) {
    if (inConvergence) {
      const std::string_view first = qcout::Word(line, 0), second = qcout::Word(line, 1);
      vl::Convergence& c = calculation.convergence;
      if (second == "gradient" || second == "step") {
        ReadCriterion(line, first == "RMS" ? (second == "step" ? c.rmsDisplacement : c.rmsForce)
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
