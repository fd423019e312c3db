// xtb 6 main output. xtb prints few geometries: GFN-FF lists the input
// coordinates (bohr) in its topology table, and an optimisation ends with the
// final structure in the layout of the input file (XYZ in angstrom, Turbomole
// $coord in bohr, or an MDL molfile). Each becomes a structure; the energies
// printed after it belong to it.
#include <algorithm>
#include <string>

#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kFinalMarker = " final structure:";
constexpr std::string_view kTopologyMarker = "neighbors  erfCN";

// One atom from a symbol and three coordinates; false when a coordinate is no number.
bool AddAtomFrom(vl::Molecule& molecule, std::string_view symbolText, std::string_view x, std::string_view y,
                 std::string_view z, bool bohr)
{
  const std::string symbol = NormalizeSymbol(std::string(symbolText));
  return qcout::AddAtomFromWords(molecule, vl::atomType(symbol), symbol, x, y, z, bohr);
}

// "count", a comment, then "symbol x y z" lines in angstrom.
bool ReadXyzBlock(LineReader& in, std::string_view countLine, vl::Molecule& molecule)
{
  int count = 0;
  if (!ParseCountLine(countLine, count) || count <= 0 || !in.skip(1))
    return false;
  std::string_view line;
  for (int i = 0; i < count; ++i)
    if (!in.next(line) || !AddAtomFrom(molecule, qcout::Word(line, 0), qcout::Word(line, 1), qcout::Word(line, 2),
                                       qcout::Word(line, 3), false))
      return false;
  return true;
}

// "$coord", then "x y z symbol" lines in bohr up to the next "$" line.
bool ReadCoordBlock(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  while (in.next(line)) {
    if (qcout::Trimmed(line).rfind('$', 0) == 0)
      return true;
    if (!AddAtomFrom(molecule, qcout::Word(line, 3), qcout::Word(line, 0), qcout::Word(line, 1), qcout::Word(line, 2),
                     true))
      return false;
  }
  return false;
}

// An MDL molfile: three header lines, the counts line, "x y z symbol ..." atom lines.
bool ReadMolBlock(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  int count = 0;
  if (!in.skip(2) || !in.next(line) || !qcout::Contains(line, "V2000") || !ParseCountLine(line.substr(0, 3), count) ||
      count <= 0)
    return false;
  for (int i = 0; i < count; ++i)
    if (!in.next(line) || !AddAtomFrom(molecule, qcout::Word(line, 3), qcout::Word(line, 0), qcout::Word(line, 1),
                                       qcout::Word(line, 2), false))
      return false;
  return true;
}

// The block under "final structure:" and its rule; false when cut short or in
// a layout not read (PDB, POSCAR...).
bool ReadFinalStructure(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  if (!in.skip(1) || !in.next(line))
    return false;
  const std::string_view first = qcout::Trimmed(line);
  if (first.rfind("$coord", 0) == 0)
    return ReadCoordBlock(in, molecule);
  if (!first.empty() && first.find_first_not_of("0123456789") == std::string::npos)
    return ReadXyzBlock(in, first, molecule);
  return ReadMolBlock(in, molecule);
}

// GFN-FF's topology table: "n symbol ... x y z" rows in bohr up to a blank line.
bool ReadTopologyTable(LineReader& in, vl::Molecule& molecule)
{
  std::string_view line;
  while (in.next(line)) {
    if (IsBlank(line))
      return true;
    // The symbol is the second word, the coordinates the last three; one pass, however long the line.
    std::string_view words[4]; // the second, then the last three
    int count = 0;
    for (size_t pos = 0; (pos = line.find_first_not_of(" \t\r", pos)) != std::string_view::npos; ++count) {
      const size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
      if (count == 1)
        words[0] = line.substr(pos, end - pos);
      words[1] = words[2];
      words[2] = words[3];
      words[3] = line.substr(pos, end - pos);
      pos = end;
    }
    if (count < 5 || !AddAtomFrom(molecule, words[0], words[1], words[2], words[3], true))
      return false;
  }
  return false;
}

int ReadXtbFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  std::string method;
  bool selfConsistent = false;               // an SCC energy was printed: the total energy is an SCF result
  vl::ConvergenceCriterion lastDisplacement; // of the latest optimisation cycle
  vl::Molecule* current = nullptr;
  int found = 0;
  std::string_view line;
  while (in.next(line)) {
    const bool finalMarker = qcout::Contains(line, kFinalMarker);
    if (finalMarker || (qcout::Contains(line, kTopologyMarker) && qcout::Contains(line, "coordinates"))) {
      qcout::Announce(log, finalMarker ? "Found final structure!\n" : "Found input coordinates (Bohr)!\n");
      current = nullptr;
      auto molecule = vl::make_ref<vl::Molecule>();
      // A table cut short is no structure.
      const bool complete = finalMarker ? ReadFinalStructure(in, *molecule) : ReadTopologyTable(in, *molecule);
      if (complete && FinishStructure(molecule, structures, log)) {
        ++found;
        current = molecule.get();
        current->calculation().method = method;
        if (finalMarker)
          current->calculation().convergence.maxDisplacement = lastDisplacement;
      }
      continue;
    }
    if (line.size() < 100 && qcout::Contains(line, "G F N")) { // the method's banner: "| G F N 2 - x T B |"
      method.clear();
      for (char c : line)
        if (c != ' ' && c != '|' && c != '\r')
          method += c;
      // GFN-FF prints its banner after the input coordinates.
      if (current && current->calculation().method.empty())
        current->calculation().method = method;
    } else if (qcout::Contains(line, ":: SCC energy")) {
      // Printed under the total energy of the same summary.
      selfConsistent = true;
      if (current && !current->calculation().scfEnergy)
        current->calculation().scfEnergy = current->calculation().totalEnergy;
    } else if (qcout::Contains(line, "maximum displ.:")) {
      lastDisplacement = {};
      lastDisplacement.value = qcout::NumberAfter(line, "maximum displ.:");
    } else if (qcout::Contains(line, "GEOMETRY OPTIMIZATION CONVERGED")) {
      // xtb judges the energy change and the gradient norm, which have no place
      // here; its verdict goes with the one criterion it prints that has.
      lastDisplacement.converged = true;
    } else if (qcout::Contains(line, "FAILED TO CONVERGE GEOMETRY OPTIMIZATION")) {
      lastDisplacement.converged = false;
    } else if (current && (qcout::Contains(line, "| TOTAL ENERGY") || qcout::Contains(line, ":: total energy"))) {
      const auto energy = qcout::Contains(line, "| TOTAL ENERGY") ? qcout::NumberAfter(line, "| TOTAL ENERGY")
                                                                  : qcout::NumberAfter(line, ":: total energy");
      if (energy) {
        current->calculation().totalEnergy = energy;
        if (selfConsistent)
          current->calculation().scfEnergy = energy;
      }
    }
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kXtbFormat;
const FileFormat kXtbFormat = ContentFormat(FT_Xtb, "xtb output",
                                            {
                                                // The banner and the version line under it.
                                                {{"|                           x T B                           |"}},
                                                {{"* xtb version "}},
                                            },
                                            ReadXtbFile);
