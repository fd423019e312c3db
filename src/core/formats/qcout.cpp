#include "core/formats/qcout.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "core/model/elements.h"

namespace qcout {

bool Contains(std::string_view line, std::string_view marker)
{
  // glibc's memmem is several times faster than string_view::find on long
  // outputs, where nearly every line is a miss.
  if (marker.size() > line.size())
    return false;
  return ::memmem(line.data(), line.size(), marker.data(), marker.size()) != nullptr;
}

std::optional<double> ToNumber(std::string_view word)
{
  if (word.empty() || word.size() > 64)
    return std::nullopt;
  std::string text(word);
  for (char& c : text)
    if (c == 'D' || c == 'd')
      c = 'E';
  const char* begin = text.c_str() + (text[0] == '+' ? 1 : 0);
  const char* end = text.c_str() + text.size();
  double value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string_view Word(std::string_view line, int n)
{
  // A plain loop: find_first_of scans its set with memchr for every character.
  const size_t size = line.size();
  size_t pos = 0;
  for (int i = 0;; ++i) {
    while (pos < size && IsBlankChar(line[pos]))
      ++pos;
    if (pos == size)
      return {};
    size_t end = pos;
    while (end < size && !IsBlankChar(line[end]))
      ++end;
    if (i == n)
      return line.substr(pos, end - pos);
    pos = end;
  }
}

void SplitWords(std::string_view line, std::vector<std::string_view>& words)
{
  words.clear();
  size_t begin = 0;
  bool inWord = false;
  for (size_t i = 0; i <= line.size(); ++i) {
    const bool blank = i == line.size() || IsBlankChar(line[i]);
    if (blank && inWord)
      words.push_back(line.substr(begin, i - begin));
    else if (!blank && !inWord)
      begin = i;
    inWord = !blank;
  }
}

std::vector<std::string_view> Words(std::string_view line)
{
  std::vector<std::string_view> words;
  SplitWords(line, words);
  return words;
}

std::string Upper(std::string_view text)
{
  std::string s(text);
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

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
      return ToNumber(word);
  }
  if (count == 0)
    return ToNumber(word);
  const double value = static_cast<double>(digits) / kTens[decimals < 0 ? 0 : decimals];
  return negative ? -value : value;
}

bool Numbers(std::string_view text, std::vector<double>& out)
{
  for (size_t pos = 0, end = 0;; pos = end) {
    while (pos < text.size() && IsBlankChar(text[pos]))
      ++pos;
    if (pos == text.size())
      return true;
    end = pos + 1;
    while (end < text.size() && !IsBlankChar(text[end]) &&
           !(text[end] == '-' && std::isdigit(static_cast<unsigned char>(text[end - 1]))))
      ++end;
    // from_chars on the text itself; ToNumber (which copies) for Fortran exponents and the rest.
    const char* first = text.data() + pos + (text[pos] == '+' ? 1 : 0);
    double value = 0;
    const auto [stop, error] = std::from_chars(first, text.data() + end, value);
    if (error != std::errc() || stop != text.data() + end || !std::isfinite(value)) {
      const auto slow = ToNumber(text.substr(pos, end - pos));
      if (!slow)
        return false;
      value = *slow;
    }
    out.push_back(value);
  }
}

bool IsCount(std::string_view word)
{
  return !word.empty() && word.size() < 10 && word.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<double> NumberAfterEquals(std::string_view line, std::string_view key)
{
  const size_t at = line.find(key);
  if (at == std::string_view::npos)
    return std::nullopt;
  const size_t sign = line.find('=', at + key.size());
  if (sign == std::string_view::npos)
    return std::nullopt;
  return ToNumber(Word(line.substr(sign + 1), 0));
}

void ReadCriterion(std::string_view line, int valueWord, vl::ConvergenceCriterion& criterion)
{
  criterion.value = ToNumber(Word(line, valueWord));
  criterion.threshold = ToNumber(Word(line, valueWord + 1));
  const std::string_view verdict = Word(line, valueWord + 2);
  if (verdict == "YES" || verdict == "NO")
    criterion.converged = verdict == "YES";
}

std::optional<double> NumberAfter(std::string_view line, std::string_view marker)
{
  if (marker.size() > line.size())
    return std::nullopt;
  const void* at = ::memmem(line.data(), line.size(), marker.data(), marker.size());
  if (!at)
    return std::nullopt;
  const size_t offset = static_cast<size_t>(static_cast<const char*>(at) - line.data()) + marker.size();
  return ToNumber(Word(line.substr(offset), 0));
}

vl::EAtomType TypeFromAtomicNumber(int n)
{
  char symbol[3] = {0, 0, 0};
  BaseSetAtName(n, &symbol[0], &symbol[1]);
  return vl::atomType(std::string_view(symbol, 2));
}

int TruncateCharge(double charge)
{
  if (!(charge > static_cast<double>(INT_MIN) - 1.0 && charge < static_cast<double>(INT_MAX) + 1.0))
    return INT_MIN;
  return static_cast<int>(charge);
}

void AddAtom(vl::Molecule& molecule, float x, float y, float z, std::string name, vl::EAtomType type)
{
  auto atom = vl::make_ref<vl::Atom>();
  atom->setCoordinates(vl::fvec3(x, y, z));
  atom->setAtomName(std::move(name));
  atom->setAtomType(type);
  molecule.addAtom(atom);
}

void AddElementAtom(vl::Molecule& molecule, std::array<float, 3> r, bool bohr, vl::EAtomType type)
{
  if (bohr)
    for (float& v : r)
      v = BohrToAngstrom(v);
  const std::string symbol = type == vl::AT_Unknown ? "X" : vl::atomInfo(type).mSymbol;
  AddAtom(molecule, r[0], r[1], r[2], symbol + std::to_string(molecule.atoms() + 1), type);
}

bool AddAtomFromWords(vl::Molecule& molecule, vl::EAtomType type, const std::string& symbol, std::string_view x,
                      std::string_view y, std::string_view z, bool bohr)
{
  const auto vx = ToNumber(x), vy = ToNumber(y), vz = ToNumber(z);
  if (!vx || !vy || !vz)
    return false;
  auto convert = [bohr](double v) {
    const float f = static_cast<float>(v);
    return bohr ? BohrToAngstrom(f) : f;
  };
  AddAtom(molecule, convert(*vx), convert(*vy), convert(*vz), symbol + std::to_string(molecule.atoms() + 1), type);
  return true;
}

bool ReadBlockValues(const std::vector<std::string_view>& w, size_t first, size_t count, float* out)
{
  for (size_t k = 0; k < count; ++k) {
    const auto v = Decimal(w[first + k]);
    if (!v)
      return false;
    out[k] = static_cast<float>(*v);
  }
  return true;
}

bool ReadVectorRow(const std::vector<std::string_view>& w, size_t first, size_t columns, std::vector<vl::fvec3>& rows)
{
  std::optional<double> v[3];
  for (size_t k = 0; k < columns; ++k) {
    for (size_t i = 0; i < 3; ++i)
      v[i] = Decimal(w[first + 3 * k + i]);
    if (!v[0] || !v[1] || !v[2])
      return false;
    rows.emplace_back(static_cast<float>(*v[0]), static_cast<float>(*v[1]), static_cast<float>(*v[2]));
  }
  return true;
}

void AppendBlockModes(size_t atoms, size_t columns, const std::vector<double>& frequencies,
                      const std::vector<double>& ir, const std::vector<double>& raman,
                      const std::vector<vl::fvec3>& rows, std::vector<vl::NormalMode>& modes)
{
  if (rows.size() != atoms * columns || atoms == 0)
    return;
  for (size_t k = 0; k < columns; ++k) {
    vl::NormalMode& m = modes.emplace_back();
    m.frequency = frequencies[k];
    if (ir.size() == columns)
      m.irIntensity = ir[k];
    if (raman.size() == columns)
      m.ramanActivity = raman[k];
    for (size_t a = 0; a < atoms; ++a)
      m.displacement.push_back(rows[a * columns + k]);
  }
}

bool SameElements(const vl::Molecule& a, const vl::Molecule& b)
{
  if (a.atoms() != b.atoms())
    return false;
  for (int i = 0; i < a.atoms(); ++i)
    if (a.atom(i)->atomType() != b.atom(i)->atomType())
      return false;
  return true;
}

bool SamePositions(const vl::Molecule& a, const vl::Molecule& b, float tolerance)
{
  if (a.atoms() != b.atoms())
    return false;
  for (int i = 0; i < a.atoms(); ++i)
    for (int k = 0; k < 3; ++k)
      if (std::fabs(a.atom(i)->coordinates()[k] - b.atom(i)->coordinates()[k]) > tolerance)
        return false;
  return true;
}

bool SameGeometry(const vl::Molecule& a, const vl::Molecule& b, float tolerance)
{
  return SameElements(a, b) && SamePositions(a, b, tolerance);
}

} // namespace qcout
