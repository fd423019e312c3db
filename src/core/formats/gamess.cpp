// GAMESS output: coordinate tables in Bohr and in angstrom, one structure each.
#include <optional>
#include <string>

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

// What the reader knows beyond one line.
struct State {
  std::optional<double> opttol; // from the options echo, before any table
  bool unconverged = false;     // GAMESS then prints 0 as the final energy
};

// What GAMESS printed about the geometry of the table before. Only the first
// final energy counts: a numerical Hessian goes on with displaced geometries
// it prints no table for. The gradient criteria are judged against OPTTOL
// (maximum) and OPTTOL/3 (RMS), as the optimiser does.
void ReadResult(std::string_view line, vl::Calculation& result, State& state)
{
  const std::optional<double>& opttol = state.opttol;
  if (qcout::Contains(line, "SCF IS UNCONVERGED")) {
    state.unconverged = true;
  } else if (qcout::Contains(line, "FINAL ") && qcout::Contains(line, " ENERGY IS ")) {
    if (!result.scfEnergy && !state.unconverged) {
      const auto energy = qcout::NumberAfter(line, " ENERGY IS ");
      result.scfEnergy = energy;
      result.totalEnergy = energy;
      result.method = FinalMethod(line);
    }
    state.unconverged = false;
  } else if (qcout::Contains(line, "E(MP2)=")) {
    if (const auto energy = qcout::NumberAfter(line, "E(MP2)=")) {
      result.totalEnergy = energy;
      result.method = "MP2";
    }
  } else if (qcout::Contains(line, "COUPLED-CLUSTER ENERGY E(")) {
    const size_t open = line.find("E(") + 2, close = line.rfind(") =");
    if (const auto energy = qcout::NumberAfter(line, ") ="); energy && close != std::string_view::npos) {
      result.totalEnergy = energy;
      result.method = TitleText(line.substr(open, close - open));
    }
  } else if (qcout::Contains(line, "MAXIMUM GRADIENT =")) {
    vl::Convergence& g = result.convergence;
    g.maxForce.value = qcout::NumberAfter(line, "MAXIMUM GRADIENT =");
    g.rmsForce.value = qcout::NumberAfter(line, "RMS GRADIENT =");
    if (opttol) {
      g.maxForce.threshold = *opttol;
      g.rmsForce.threshold = *opttol / 3.0;
    }
  }
}

int ReadGamessFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  State state;
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (!qcout::Contains(line, kCommonPart)) {
      if (qcout::Contains(line, "OPTTOL = "))
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
  auto readRows = [](LineReader& in, int unit, vl::Molecule& molecule) {
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
  };
  auto readResult = [&](std::string_view line, LineReader&, vl::Calculation& result) {
    ReadResult(line, result, state);
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
