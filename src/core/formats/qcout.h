#pragma once
// Pieces shared by the readers of quantum-chemistry program output (KALDER,
// Gaussian, GAMESS, CFOUR, WFN): marker search, unit conversion, element
// lookup by atomic number and atom construction.
#include <optional>
#include <string>
#include <string_view>

#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/model/log.h"
#include "core/model/molecule.h"

namespace qcout {

// True when `marker` occurs anywhere in `line`; blanks and case count.
bool Contains(std::string_view line, std::string_view marker);

// The whole word as a finite number; a Fortran exponent (1.5D-03) counts.
// Absent for anything else: a malformed value is left out, never read as 0.
std::optional<double> ToNumber(std::string_view word);

// The number in the first blank-separated word after `marker`; absent when
// the marker is missing or that word is no number.
std::optional<double> NumberAfter(std::string_view line, std::string_view marker);

// The n-th (0-based) blank-separated word of the line; empty when there are fewer.
std::string_view Word(std::string_view line, int n);

// Bohr to angstrom: the float as read, widened, scaled in double precision,
// rounded back to float.
inline float BohrToAngstrom(float bohr)
{
  return static_cast<float>(static_cast<double>(bohr) * 0.52917721067);
}

// Element type for an atomic number: the two characters BaseSetAtName gives,
// the blank after a one-letter symbol kept (atomType ignores it).
vl::EAtomType TypeFromAtomicNumber(int n);

// A nuclear charge truncated toward zero. Values an int cannot hold (and NaN)
// give INT_MIN, which names no element, instead of undefined behaviour.
int TruncateCharge(double charge);

// Appends a new atom in the order of the reader contract: coordinates, name,
// type, then addAtom.
void AddAtom(vl::Molecule& molecule, float x, float y, float z, std::string name, vl::EAtomType type);

// The log line a reader prints when it meets a coordinate table.
inline void Announce(vl::Log& log, const char* message)
{
  log.write(message);
}

// Program outputs print every geometry as a table under a marker line.
// `startsTable(line, in)` looks at each line: 0 when it starts no table;
// otherwise a table kind, with the header lines up to the first row consumed
// (and announced). `readRows(in, kind, molecule)` then reads the rows; the
// structure is finished and appended, marked cut short when its table ran
// into the end of the file (a job still writing it). `readResult(line, in, calculation)`
// sees every other line after an appended table, up to the next table: what
// the program printed about that geometry. Returns 0 when a structure was
// appended, -1 otherwise. What readRows throws leaves its structure out; the
// earlier stay.
template <class StartsTable, class ReadRows, class ReadResult>
int ReadTables(const std::string& file, StructureList& structures, vl::Log& log, StartsTable startsTable,
               ReadRows readRows, ReadResult readResult)
{
  LineReader in(file);
  int found = 0;
  vl::Molecule* current = nullptr; // the structure of the last table, when appended
  std::string_view line;
  while (in.next(line)) {
    const int kind = startsTable(line, in);
    if (kind == 0) {
      if (current)
        readResult(line, in, current->calculation());
      continue;
    }
    current = nullptr;
    auto molecule = vl::make_ref<vl::Molecule>();
    readRows(in, kind, *molecule);
    molecule->calculation().cutShort = in.exhausted();
    if (FinishStructure(molecule, structures, log)) {
      ++found;
      current = molecule.get();
    }
  }
  return found > 0 ? 0 : -1;
}

// Geometries only.
template <class StartsTable, class ReadRows>
int ReadTables(const std::string& file, StructureList& structures, vl::Log& log, StartsTable startsTable,
               ReadRows readRows)
{
  return ReadTables(file, structures, log, startsTable, readRows,
                    [](std::string_view, LineReader&, vl::Calculation&) {});
}

} // namespace qcout
