#pragma once
// Pieces shared by the readers of quantum-chemistry program output and of
// the files those programs write: marker search, words and numbers, unit
// conversion, element lookup by atomic number, atom construction and
// geometry comparison. One copy each, so that the readers split and parse
// the same way.
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Space, tab and carriage return (a file written on Windows keeps its CR):
// what separates the words of a line for every helper here.
inline bool IsBlankChar(char c)
{
  return c == ' ' || c == '\t' || c == '\r';
}

// The first character that is not blank, or 0: a test cheap enough for
// every line of a long output, before any word or marker search.
inline char FirstChar(std::string_view line)
{
  for (char c : line)
    if (c != ' ' && c != '\t' && c != '\r')
      return c;
  return 0;
}

// The n-th (0-based) blank-separated word of the line; empty when there are fewer.
std::string_view Word(std::string_view line, int n);

// The blank-separated words of the line in one pass, into `words` (its
// capacity reused): long outputs split millions of lines.
void SplitWords(std::string_view line, std::vector<std::string_view>& words);
std::vector<std::string_view> Words(std::string_view line);

// The text without blanks at either end, in place. `blank` may name another
// set (a title drops all white space).
inline std::string_view Trimmed(std::string_view text, bool (*blank)(char) = IsBlankChar)
{
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

// The text in capitals, for keywords that programs and users write in any case.
std::string Upper(std::string_view text);

// A plain decimal ("-0.123456") read in place: mode tables hold hundreds of
// thousands. Up to 15 digits make an exact integer and one division by an
// exact power of ten, rounded as from_chars rounds; anything else goes to
// ToNumber.
std::optional<double> Decimal(std::string_view word);

// A number word read in place with from_chars; ToNumber (which copies) for
// Fortran exponents, a leading '+' and the rest. Inline: arrays of values
// call it for each.
inline std::optional<double> NumberInPlace(std::string_view word)
{
  double value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  if (error == std::errc() && stop == end && std::isfinite(value))
    return value;
  return ToNumber(word);
}

// The numbers of a mode table line, appended to `out`: blank-separated words,
// split again where a minus sign follows a digit (a wide negative value runs
// into its neighbour). False when a word is no number.
bool Numbers(std::string_view text, std::vector<double>& out);

// True for a word of 1 to 9 digits: a count or index that fits an int.
bool IsCount(std::string_view word);

// The number after the '=' that follows `key` ("OPTGRAD =  3.00D-04"); absent
// when either is missing or that word is no number.
std::optional<double> NumberAfterEquals(std::string_view line, std::string_view key);

// A row of an optimiser's convergence table: the value in word `valueWord`,
// then the threshold and the verdict (YES or NO; anything else leaves the
// verdict as it was).
void ReadCriterion(std::string_view line, int valueWord, vl::ConvergenceCriterion& criterion);

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

// Appends an atom named by its element's symbol ("X" for none) and its
// number in the structure; `bohr` converts the coordinates to angstrom.
void AddElementAtom(vl::Molecule& molecule, std::array<float, 3> r, bool bohr, vl::EAtomType type);

// Appends the atom of `symbol` and three coordinate words, named by the symbol
// and its number in the structure; false (nothing added) when a coordinate is
// no number.
bool AddAtomFromWords(vl::Molecule& molecule, vl::EAtomType type, const std::string& symbol, std::string_view x,
                      std::string_view y, std::string_view z, bool bohr);

// Mode blocks. Some programs print a block coordinate by coordinate: a row
// for each x, y and z of each atom, a column per mode ("block" below, stored
// row by row). Others print it atom by atom: a row per atom holding the
// x y z of each mode side by side ("rows", a vector per atom and mode).

// `count` values from word `first` on into `out`; false at the first that is
// no number (those before it are stored).
bool ReadBlockValues(const std::vector<std::string_view>& w, size_t first, size_t count, float* out);

// The displacement of `atom` in column `column` of a block of `columns` columns.
inline vl::fvec3 BlockVector(const std::vector<float>& block, size_t columns, size_t atom, size_t column)
{
  return vl::fvec3(block[(3 * atom) * columns + column], block[(3 * atom + 1) * columns + column],
                   block[(3 * atom + 2) * columns + column]);
}

// An atom's row: x y z for each of `columns` modes from word `first` on,
// appended to `rows`; false at the first value that is no number.
bool ReadVectorRow(const std::vector<std::string_view>& w, size_t first, size_t columns, std::vector<vl::fvec3>& rows);

// The modes of a finished atom-by-atom block, appended to `modes`; the
// intensities where there is one per column. Nothing when `rows` does not
// hold a vector per atom and column (a block of another size).
void AppendBlockModes(size_t atoms, size_t columns, const std::vector<double>& frequencies,
                      const std::vector<double>& ir, const std::vector<double>& raman,
                      const std::vector<vl::fvec3>& rows, std::vector<vl::NormalMode>& modes);

// True when both have the same elements in the same order.
bool SameElements(const vl::Molecule& a, const vl::Molecule& b);

// True when both have as many atoms, each coordinate within `tolerance`
// (angstrom) of the other's. Programs reprint a geometry with their own
// rounding, so each reader passes what its format needs.
bool SamePositions(const vl::Molecule& a, const vl::Molecule& b, float tolerance);

// Both of the above: the same structure printed again.
bool SameGeometry(const vl::Molecule& a, const vl::Molecule& b, float tolerance);

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
