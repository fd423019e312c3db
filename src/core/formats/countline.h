#pragma once
// Atom-count lines are converted the way std::stoi does it, without its
// exceptions and without copying the line: leading white space is skipped,
// an optional sign and the leading decimal digits are taken, anything after
// them is ignored.
#include <climits>
#include <string_view>

// False when the text does not start with an integer or the value does not
// fit in an int (std::stoi would throw); value is then left alone.
inline bool ParseCountLine(std::string_view text, int& value)
{
  size_t p = 0;
  const size_t n = text.size();
  while (p < n && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' || text[p] == '\v' || text[p] == '\f' ||
                   text[p] == '\r'))
    ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  const size_t digits = p;
  // The magnitude of INT_MIN is one more than INT_MAX.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  bool overflow = false;
  while (p < n && text[p] >= '0' && text[p] <= '9') {
    if (!overflow) {
      magnitude = magnitude * 10 + (text[p] - '0');
      overflow = magnitude > limit;
    }
    ++p;
  }
  if (p == digits || overflow)
    return false;
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}
