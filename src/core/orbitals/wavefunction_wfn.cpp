// WFN (AIMPAC) files: a counts line, one line per nucleus, the centre, type
// and exponent of every primitive, then each orbital's occupation, energy
// and coefficients over the primitives (which are not normalised).
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/formats/countline.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/orbitals/readers.h"

namespace orb {

namespace {

[[noreturn]] void Fail(const std::string& text)
{
  throw std::runtime_error(text);
}

std::vector<std::string_view> Words(std::string_view line)
{
  std::vector<std::string_view> words;
  for (size_t pos = 0; (pos = line.find_first_not_of(" \t\r", pos)) != std::string_view::npos;) {
    const size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
    words.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

// The count in the word before `keyword` on the counts line.
int CountBefore(const std::vector<std::string_view>& words, std::string_view keyword)
{
  for (size_t i = 1; i < words.size(); ++i) {
    int n = 0;
    if (words[i] == keyword && ParseCountLine(words[i - 1], n) && n >= 0)
      return n;
  }
  Fail("the counts line gives no number of " + std::string(keyword));
}

double Number(std::string_view word, const char* what)
{
  const auto v = qcout::ToNumber(word);
  if (!v)
    Fail(std::string(what) + ": '" + std::string(word) + "' is no number");
  return *v;
}

// Integers of a CENTRE or TYPE ASSIGNMENTS line: I3 fields from column 21,
// which run together once numbers reach 100; blanks between them otherwise.
void ReadIntegers(std::string_view line, size_t keyword, std::vector<int>& out, const char* what)
{
  std::vector<int> fixed;
  bool ok = line.size() > 20;
  for (size_t pos = 20; ok && pos < line.size(); pos += 3) {
    const std::string_view field = line.substr(pos, 3);
    if (field.find_first_not_of(" \r") == std::string_view::npos)
      continue;
    int n = 0;
    ok = ParseCountLine(field, n) && field.find_first_not_of(" 0123456789\r") == std::string_view::npos;
    fixed.push_back(n);
  }
  if (ok) {
    out.insert(out.end(), fixed.begin(), fixed.end());
    return;
  }
  for (std::string_view word : Words(line.substr(keyword))) {
    int n = 0;
    if (!ParseCountLine(word, n) || word.find_first_not_of("0123456789") != std::string_view::npos)
      Fail(std::string(what) + ": '" + std::string(word) + "' is no number");
    out.push_back(n);
  }
}

// Reads lines that start with `keyword` until `count` values are in.
template <class Add>
void ReadSection(LineReader& in, std::string_view keyword, size_t count, size_t have, const char* what, Add add)
{
  std::string_view line;
  while (have < count) {
    if (!in.next(line) || line.substr(0, keyword.size()) != keyword)
      Fail(std::string(what) + " gives " + std::to_string(have) + " of " + std::to_string(count) + " values");
    have = add(line);
  }
}

bool Read(const std::string& file, Wavefunction& w, std::string& error)
{
  LineReader in(file);
  std::string_view line;
  if (!in.next(line))
    Fail("the file is empty");
  w.title = trim(std::string(line.substr(0, line.find_last_not_of(" \r") + 1)));
  if (!in.next(line))
    Fail("the file ends before its counts line");
  const auto counts = Words(line);
  const int orbitals = CountBefore(counts, "MOL"), prims = CountBefore(counts, "PRIMITIVES"),
            nuclei = CountBefore(counts, "NUCLEI");

  for (int a = 0; a < nuclei; ++a) {
    if (!in.next(line))
      Fail("the file ends after " + std::to_string(a) + " of " + std::to_string(nuclei) + " nuclei");
    const size_t close = line.find(')');
    const auto words = Words(close == std::string_view::npos ? std::string_view() : line.substr(close + 1));
    if (words.size() < 3)
      Fail("nucleus " + std::to_string(a + 1) + ": no coordinates after '(CENTRE n)'");
    WfnAtom atom;
    for (size_t axis = 0; axis < 3; ++axis)
      atom.position[axis] = Number(words[axis], "nucleus coordinates");
    const auto charge = qcout::NumberAfter(line, "CHARGE =");
    const auto symbolWords = Words(line.substr(0, std::min<size_t>(line.size(), 4)));
    const vl::EAtomType type =
        symbolWords.empty() ? vl::AT_Unknown : vl::atomType(NormalizeSymbol(std::string(symbolWords[0])));
    atom.atomicNumber = type != vl::AT_Unknown                    ? vl::atomInfo(type).atomicNumber()
                        : charge && *charge >= 0 && *charge < 200 ? static_cast<int>(std::lround(*charge))
                                                                  : 0;
    w.atoms.push_back(atom);
  }

  const size_t n = static_cast<size_t>(prims);
  std::vector<int> centres, types;
  std::vector<double> exponents;
  ReadSection(in, "CENTRE ASSIGNMENTS", n, 0, "CENTRE ASSIGNMENTS", [&](std::string_view l) {
    ReadIntegers(l, 18, centres, "CENTRE ASSIGNMENTS");
    return centres.size();
  });
  ReadSection(in, "TYPE ASSIGNMENTS", n, 0, "TYPE ASSIGNMENTS", [&](std::string_view l) {
    ReadIntegers(l, 16, types, "TYPE ASSIGNMENTS");
    return types.size();
  });
  ReadSection(in, "EXPONENTS", n, 0, "EXPONENTS", [&](std::string_view l) {
    for (std::string_view word : Words(l.substr(9)))
      exponents.push_back(Number(word, "EXPONENTS"));
    return exponents.size();
  });
  if (centres.size() != n || types.size() != n || exponents.size() != n)
    Fail("the primitive sections give more values than the " + std::to_string(n) + " primitives");
  for (size_t q = 0; q < n; ++q)
    w.primitives.push_back({centres[q] - 1, types[q], exponents[q]});

  std::vector<Orbital> all;
  for (int k = 0; k < orbitals; ++k) {
    if (!in.next(line) || line.substr(0, 2) != "MO")
      Fail("the file gives " + std::to_string(k) + " of " + std::to_string(orbitals) + " orbitals");
    Orbital o;
    const auto occupation = qcout::NumberAfter(line, "OCC NO =");
    const auto energy = qcout::NumberAfter(line, "ENERGY =");
    if (!occupation || !energy)
      Fail("orbital " + std::to_string(k + 1) + ": no occupation or energy on its MO line");
    o.occupation = *occupation;
    o.energy = *energy;
    o.coefficients.reserve(std::min<size_t>(n, 1 << 16)); // n is the file's word
    while (o.coefficients.size() < n) {
      if (!in.next(line) || line.substr(0, 2) == "MO" || qcout::Contains(line, "END DATA"))
        Fail("orbital " + std::to_string(k + 1) + " gives " + std::to_string(o.coefficients.size()) + " of " +
             std::to_string(n) + " coefficients");
      for (std::string_view word : Words(line))
        o.coefficients.push_back(Number(word, "orbital coefficients"));
    }
    all.push_back(std::move(o));
  }

  // No spin labels: an unrestricted file lists the alpha orbitals, then the
  // beta ones from the lowest energy again, all singly occupied.
  bool single = true;
  for (const Orbital& o : all)
    single = single && o.occupation <= 1 + 1e-6;
  size_t split = all.size();
  for (size_t k = 1; single && k < all.size() && split == all.size(); ++k)
    if (all[k].energy < all[k - 1].energy)
      split = k;
  w.alpha.assign(std::make_move_iterator(all.begin()), std::make_move_iterator(all.begin() + split));
  w.beta.assign(std::make_move_iterator(all.begin() + split), std::make_move_iterator(all.end()));
  return FinishWavefunction(w, error);
}

} // namespace

bool ReadWfnWavefunction(const std::string& file, Wavefunction& w, std::string& error)
{
  return ReadWhole(w, error, [&] { return Read(file, w, error); });
}

} // namespace orb
