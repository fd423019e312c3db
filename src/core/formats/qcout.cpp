#include "core/formats/qcout.h"

#include <algorithm>
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
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  const size_t size = line.size();
  size_t pos = 0;
  for (int i = 0;; ++i) {
    while (pos < size && blank(line[pos]))
      ++pos;
    if (pos == size)
      return {};
    size_t end = pos;
    while (end < size && !blank(line[end]))
      ++end;
    if (i == n)
      return line.substr(pos, end - pos);
    pos = end;
  }
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

} // namespace qcout
