// NWChem output: the geometry tables ("Output coordinates in angstroms" or
// "in a.u."), one structure each, with the energies, the optimiser's step
// line and the normal modes of a frequency job printed after them. Molecular dynamics (the QMD module) prints no such
// table per step: there the coordinates of the gradient tables (a.u.) are the
// steps, and each step's energy comes before its table.
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

constexpr std::string_view kTableMarker = "Output coordinates in ";
constexpr std::string_view kGradientMarker = " ENERGY GRADIENTS";

// The element of a tag ("C", "C1", "Ca", "bqH") and its nuclear charge, when
// printed: the charge decides between a one- and two-letter symbol, and a
// charge below one is a ghost or point charge.
vl::EAtomType TagType(std::string_view tag, std::optional<double> charge)
{
  const bool ghost = tag.size() >= 2 && (tag[0] == 'b' || tag[0] == 'B') && (tag[1] == 'q' || tag[1] == 'Q');
  if (ghost || (charge && *charge < 0.5))
    return vl::AT_Unknown;
  size_t letters = 0;
  while (letters < tag.size() && letters < 2 && std::isalpha(static_cast<unsigned char>(tag[letters])))
    ++letters;
  const vl::EAtomType two =
      letters == 2 ? vl::atomType(NormalizeSymbol(std::string(tag.substr(0, 2)))) : vl::AT_Unknown;
  const vl::EAtomType one = letters ? vl::atomType(NormalizeSymbol(std::string(tag.substr(0, 1)))) : vl::AT_Unknown;
  const int z =
      charge && std::fabs(*charge - std::round(*charge)) < 1e-6 ? qcout::TruncateCharge(std::round(*charge)) : -1;
  for (vl::EAtomType t : {two, one})
    if (t != vl::AT_Unknown && vl::atomInfo(t).atomicNumber() == z)
      return t;
  if (z >= 1 && z <= 118)
    return static_cast<vl::EAtomType>(z - 1);
  return two != vl::AT_Unknown ? two : one;
}

// Header lines up to the rule, then "No. Tag Charge X Y Z" rows up to a
// blank line. False when the table is cut short or a row is no atom.
bool ReadTable(LineReader& in, bool bohr, vl::Molecule& molecule)
{
  std::string_view line;
  for (int i = 0;; ++i) {
    if (i == 4 || !in.next(line))
      return false;
    if (qcout::Word(line, 0).substr(0, 4) == "----")
      break;
  }
  while (in.next(line)) {
    if (IsBlank(line))
      return molecule.atoms() > 0;
    const auto w = qcout::Words(line);
    if (w.size() < 6)
      return false;
    const auto charge = qcout::ToNumber(w[w.size() - 4]), x = qcout::ToNumber(w[w.size() - 3]),
               y = qcout::ToNumber(w[w.size() - 2]), z = qcout::ToNumber(w[w.size() - 1]);
    if (!charge || !x || !y || !z)
      return false;
    qcout::AddElementAtom(molecule, {float(*x), float(*y), float(*z)}, bohr, TagType(w[1], charge));
  }
  return false;
}

// "atom coordinates gradient" rows in a.u.: index, tag, x y z, gradient.
// Tags without an element take the element of `model`'s atom there.
bool ReadGradientTable(LineReader& in, const vl::Molecule* model, vl::Molecule& molecule)
{
  std::string_view line;
  if (!in.skip(3))
    return false;
  while (in.next(line)) {
    if (IsBlank(line))
      return molecule.atoms() > 0;
    const auto w = qcout::Words(line);
    if (w.size() != 8)
      return false;
    const auto x = qcout::ToNumber(w[2]), y = qcout::ToNumber(w[3]), z = qcout::ToNumber(w[4]);
    if (!x || !y || !z)
      return false;
    vl::EAtomType type = TagType(w[1], std::nullopt);
    if (type == vl::AT_Unknown && model && molecule.atoms() < model->atoms())
      type = model->atom(molecule.atoms())->atomType();
    qcout::AddElementAtom(molecule, {float(*x), float(*y), float(*z)}, true, type);
  }
  return false;
}

// The vibrational analysis after projecting out translations and rotations
// (the unprojected one before it is not read): all 3N modes as blocks of up
// to six columns under their 1-based numbers, each a "P.Frequency" line (an
// imaginary frequency negative) and 3N rows; then the projected IR
// intensities by mode number. The translations and rotations, projected to
// exactly zero, are no vibrations and are left out.
struct Vibrations {
  enum Section { kNone, kModes, kIr } section = kNone;
  size_t done = 0;       // modes read, kept or not
  std::vector<int> kept; // by mode number - 1: the index in the modes, or -1
  size_t columns = 0, rows = 0;
  std::vector<double> frequencies; // of the open block
  std::vector<float> block;        // rows by columns
  bool started = false;            // the IR table's rows have begun
  int idle = 0;                    // its lines before them
  std::vector<std::string_view> words;

  // True when the line belongs to the analysis.
  bool see(std::string_view line, vl::Molecule* molecule)
  {
    std::vector<std::string_view>& w = words;
    qcout::SplitWords(line, w);
    if (w.size() == 5 && w[0] == "(Projected" && w[1] == "Frequencies" && w[2] == "expressed") {
      section = molecule ? kModes : kNone;
      done = columns = rows = 0;
      kept.clear();
      if (molecule)
        molecule->calculation().modes.clear();
      return true;
    }
    if (w.size() == 7 && w[0] == "Normal" && w[2] == "||" && w[3] == "Projected" && w[5] == "Red") {
      section = molecule ? kIr : kNone;
      started = false;
      idle = 0;
      return true;
    }
    if (section == kModes)
      modeRow(w, *molecule);
    else if (section == kIr)
      irRow(w, molecule->calculation());
    return section != kNone;
  }

  void modeRow(const std::vector<std::string_view>& w, vl::Molecule& molecule)
  {
    const size_t atoms = static_cast<size_t>(molecule.atoms());
    std::vector<vl::NormalMode>& modes = molecule.calculation().modes;
    if (w.empty()) {
      if (rows > 0) // a block broken off
        section = kNone;
      return;
    }
    if (columns == 0) {
      // "1 2 3 4 5 6": the numbers of the next modes.
      for (size_t k = 0; k < w.size(); ++k)
        if (!qcout::IsCount(w[k]) || std::stoul(std::string(w[k])) != done + k + 1)
          return void(section = kNone);
      columns = w.size();
      frequencies.clear();
      return;
    }
    if (w[0] == "P.Frequency" && frequencies.empty() && w.size() == columns + 1) {
      for (size_t k = 1; k < w.size(); ++k)
        if (const auto v = qcout::ToNumber(w[k]))
          frequencies.push_back(*v);
      if (frequencies.size() != columns)
        section = kNone;
      block.assign(3 * atoms * columns, 0.0f);
      return;
    }
    if (frequencies.empty() || w.size() != columns + 1 || !qcout::IsCount(w[0]) ||
        std::stoul(std::string(w[0])) != rows + 1)
      return void(section = kNone);
    if (!qcout::ReadBlockValues(w, 1, columns, block.data() + rows * columns))
      return void(section = kNone);
    if (++rows < 3 * atoms)
      return;
    for (size_t k = 0; k < columns; ++k) {
      kept.push_back(frequencies[k] == 0 ? -1 : static_cast<int>(modes.size()));
      if (frequencies[k] == 0)
        continue;
      vl::NormalMode& m = modes.emplace_back();
      m.frequency = frequencies[k];
      m.displacement.resize(atoms);
      for (size_t a = 0; a < atoms; ++a)
        m.displacement[a] = qcout::BlockVector(block, columns, a, k);
    }
    done += columns;
    columns = rows = 0;
    frequencies.clear();
    if (done >= 3 * atoms)
      section = kNone;
  }

  // "    7       49.010 ||    0.000030           0.001         0.030       0.068":
  // the intensity in km/mol is the third after the bars.
  void irRow(const std::vector<std::string_view>& w, vl::Calculation& c)
  {
    const bool row = w.size() == 7 && qcout::IsCount(w[0]) && w[2] == "||";
    if (!row) {
      if (started || ++idle > 4) // after the rows, or no rows under the title
        section = kNone;
      return;
    }
    started = true;
    const size_t n = std::stoul(std::string(w[0]));
    if (n >= 1 && n <= kept.size() && kept[n - 1] >= 0 && static_cast<size_t>(kept[n - 1]) < c.modes.size())
      c.modes[static_cast<size_t>(kept[n - 1])].irIntensity = qcout::ToNumber(w[5]);
  }
};

struct Reader {
  vl::Molecule* current = nullptr; // the structure the lines now belong to
  bool correlated = false;         // current has a correlated total energy
  // After the optimiser's step line the energies are the line search's, at
  // geometries that are never printed.
  bool locked = false;
  bool qmd = false;
  vl::Calculation pending; // molecular dynamics: the energies of the coming gradient table
  bool pendingCorrelated = false;
  std::string scfMethod = "SCF", dftMethod = "DFT";
  std::array<std::optional<double>, 4> thresholds;    // gmax, grms, xmax, xrms
  std::array<std::pair<size_t, size_t>, 4> columns{}; // gmax grms xrms xmax in the step line
  bool expectFlags = false;
  Vibrations vibrations;

  vl::Calculation* target(bool*& isCorrelated)
  {
    if (qmd) {
      isCorrelated = &pendingCorrelated;
      return &pending;
    }
    isCorrelated = &correlated;
    return current && !locked ? &current->calculation() : nullptr;
  }

  // "@ 3  -379.77795501 -9.0D-06  0.00004  0.00002  0.00110  0.00242  4.6" and
  // under it "ok" below each criterion met.
  void stepLine(std::string_view line, const std::vector<std::string_view>& w)
  {
    vl::Convergence& g = current->calculation().convergence;
    vl::ConvergenceCriterion* criteria[4] = {&g.maxForce, &g.rmsForce, &g.rmsDisplacement, &g.maxDisplacement};
    const int threshold[4] = {0, 1, 3, 2};
    for (int c = 0; c < 4; ++c) {
      *criteria[c] = {};
      criteria[c]->value = qcout::ToNumber(w[4 + c]);
      criteria[c]->threshold = thresholds[threshold[c]];
      const size_t begin = static_cast<size_t>(w[4 + c].data() - line.data());
      columns[c] = {begin, begin + w[4 + c].size()};
    }
    locked = expectFlags = true;
  }

  // The line under the step line: blank, or "ok" under each criterion met.
  bool flags(std::string_view line)
  {
    if (line.find_first_not_of(" ok\r") != std::string_view::npos)
      return false;
    vl::Convergence& g = current->calculation().convergence;
    vl::ConvergenceCriterion* criteria[4] = {&g.maxForce, &g.rmsForce, &g.rmsDisplacement, &g.maxDisplacement};
    for (int c = 0; c < 4; ++c) {
      bool ok = false;
      for (size_t p = columns[c].first; p < columns[c].second && p + 1 < line.size(); ++p)
        ok = ok || line.substr(p, 2) == "ok";
      criteria[c]->converged = ok;
    }
    return true;
  }

  void result(std::string_view line)
  {
    if ((vibrations.section != Vibrations::kNone || qcout::Contains(line, "Projected ")) &&
        vibrations.see(line, current))
      return;
    const bool underStepLine = expectFlags;
    expectFlags = false;
    if (underStepLine && current && flags(line))
      return;
    if (qcout::Contains(line, "NWChem QMD Module")) {
      qmd = true;
      return;
    }
    if (qcout::Contains(line, "threshold")) {
      for (auto [key, index] : {std::pair{"(gmax)", 0}, {"(grms)", 1}, {"(xmax)", 2}, {"(xrms)", 3}})
        if (qcout::Contains(line, key))
          thresholds[static_cast<size_t>(index)] = qcout::NumberAfterEquals(line, key);
      return;
    }
    // Only lines that may hold a step, method or energy are split.
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos ||
        !(line[first] == '@' || line[first] == 'F' || line[first] == 'T' || qcout::Contains(line, " total energy") ||
          qcout::Contains(line, "Potential")))
      return;
    const auto w = qcout::Words(line);
    if (w.empty())
      return;
    if (w[0] == "@" && w.size() >= 8 && current && qcout::ToNumber(w[1]) && qcout::ToNumber(w[2])) {
      stepLine(line, w);
      return;
    }
    if (w.size() == 3 && w[0] == "Final" && w[2] == "results") {
      scfMethod = std::string(w[1]); // RHF, UHF, ROHF
      return;
    }
    if (w.size() >= 4 && w[w.size() - 3] == "Method" && w[w.size() - 2] == "XC" && w[w.size() - 1] == "Potential") {
      dftMethod = std::string(w[0]);
      return;
    }
    bool* isCorrelated = nullptr;
    vl::Calculation* c = target(isCorrelated);
    if (!c || w.size() < 4)
      return;
    if (w[0] == "Total" && (w[2] == "energy" || w[2] == "energy:")) {
      const auto value = qcout::ToNumber(w.back());
      if (!value)
        return;
      if (w[1] == "SCF" || w[1] == "DFT") {
        c->scfEnergy = value;
        if (!*isCorrelated) {
          c->totalEnergy = value;
          c->method = w[1] == "SCF" ? scfMethod : dftMethod;
        }
      } else if (!qcout::Contains(w[1], "SCS") && !qcout::Contains(w[1], "SOS")) {
        // MP2 module, CCSD module: "Total MP2 energy", "Total CCSD(T) energy:"
        c->totalEnergy = value;
        c->method = std::string(w[1]);
        *isCorrelated = true;
      }
    } else if (w.size() >= 7 && w[1] == "total" && w[2] == "energy" && w[3] == "/" && w[4] == "hartree") {
      // TCE: "CCSD(T) total energy / hartree = ..."
      if (const auto value = qcout::ToNumber(w.back())) {
        c->totalEnergy = value;
        c->method = std::string(w[0]);
        *isCorrelated = true;
      }
    }
  }
};

int ReadNWChemFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  Reader reader;
  vl::Molecule* last = nullptr; // the last structure appended
  int gradients = 0;            // gradient tables read since the last geometry table
  int found = 0;
  auto append = [&](const vl::ref<vl::Molecule>& molecule) {
    if (!FinishStructure(molecule, structures, log))
      return;
    ++found;
    last = reader.current = molecule.get();
    reader.correlated = reader.locked = false;
  };
  std::string_view line;
  while (in.next(line)) {
    if (qcout::Contains(line, kTableMarker)) {
      const bool bohr = qcout::Contains(line, "in a.u.");
      if (!bohr && !qcout::Contains(line, "in angstroms"))
        continue;
      qcout::Announce(log, bohr ? "Found Cartesian coordinates (Bohr)!\n" : "Found Cartesian coordinates (Angs)!\n");
      auto molecule = vl::make_ref<vl::Molecule>();
      reader.current = nullptr;
      reader.expectFlags = false;
      reader.vibrations = Vibrations();
      gradients = 0;
      if (ReadTable(in, bohr, *molecule))
        append(molecule);
      continue;
    }
    if (reader.qmd && qcout::Contains(line, kGradientMarker)) {
      qcout::Announce(log, "Found Cartesian coordinates (Bohr)!\n");
      auto molecule = vl::make_ref<vl::Molecule>();
      reader.current = nullptr;
      const bool complete = ReadGradientTable(in, last, *molecule);
      // The first gradient table repeats the geometry table before it, in a.u.: the same step.
      if (complete && gradients++ == 0 && last && qcout::SamePositions(*last, *molecule, 1e-4f))
        reader.current = last;
      else if (complete)
        append(molecule);
      if (reader.current) {
        vl::Calculation& c = reader.current->calculation();
        if (reader.pending.scfEnergy)
          c.scfEnergy = reader.pending.scfEnergy;
        if (reader.pending.totalEnergy) {
          c.totalEnergy = reader.pending.totalEnergy;
          c.method = reader.pending.method;
        }
      }
      reader.pending = {};
      reader.pendingCorrelated = false;
      continue;
    }
    reader.result(line);
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kNWChemFormat;
const FileFormat kNWChemFormat = ContentFormat(FT_NWChem, "NWChem output",
                                               {
                                                   // The banner.
                                                   {{"Northwest Computational Chemistry Package (NWChem)"}},
                                               },
                                               ReadNWChemFile);
