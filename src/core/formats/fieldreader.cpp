#include "core/formats/fieldreader.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace {

locale_t classicLocale()
{
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

inline bool isDigit(char c)
{
  return c >= '0' && c <= '9';
}

} // namespace

bool IsBlank(std::string_view text)
{
  for (char c : text)
    if (!IsSpace(c))
      return false;
  return true;
}

bool FieldReader::skipSpace()
{
  if (mFail)
    return false;
  while (mPos < mText.size() && IsSpace(mText[mPos]))
    ++mPos;
  if (mPos >= mText.size()) {
    mFail = true; // nothing left: the sentry fails and nothing is stored
    return false;
  }
  return true;
}

bool FieldReader::read(std::string& word)
{
  if (!skipSpace())
    return false;
  size_t start = mPos;
  while (mPos < mText.size() && !IsSpace(mText[mPos]))
    ++mPos;
  word.assign(mText.data() + start, mPos - start);
  return true;
}

template <class T> bool FieldReader::readInteger(T& value)
{
  if (!skipSpace())
    return false;
  size_t p = mPos;
  bool negative = false;
  if (mText[p] == '+' || mText[p] == '-') {
    negative = mText[p] == '-';
    ++p;
  }
  size_t digitsStart = p;
  // Accumulate as the magnitude in unsigned arithmetic to detect overflow.
  using U = unsigned long long;
  const U limit =
      negative ? static_cast<U>(std::numeric_limits<T>::max()) + 1 : static_cast<U>(std::numeric_limits<T>::max());
  U magnitude = 0;
  bool overflow = false;
  while (p < mText.size() && isDigit(mText[p])) {
    U d = static_cast<U>(mText[p] - '0');
    if (!overflow) {
      if (magnitude > (limit - d) / 10)
        overflow = true;
      else
        magnitude = magnitude * 10 + d;
    }
    ++p;
  }
  mPos = p;
  if (p == digitsStart) {
    value = 0;
    mFail = true;
    return false;
  }
  if (overflow) {
    value = negative ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
    mFail = true;
    return false;
  }
  if (negative)
    value = magnitude == limit ? std::numeric_limits<T>::min() : -static_cast<T>(magnitude);
  else
    value = static_cast<T>(magnitude);
  return true;
}

template <class T> bool FieldReader::readReal(T& value)
{
  if (!skipSpace())
    return false;
  // Collect what the stream's number parser accepts: sign, digits, one
  // decimal point, then an exponent marker with an optional sign and digits.
  size_t p = mPos;
  const size_t n = mText.size();
  if (mText[p] == '+' || mText[p] == '-')
    ++p;
  while (p < n && isDigit(mText[p]))
    ++p;
  if (p < n && mText[p] == '.') {
    ++p;
    while (p < n && isDigit(mText[p]))
      ++p;
  }
  if (p < n && (mText[p] == 'e' || mText[p] == 'E')) {
    ++p;
    if (p < n && (mText[p] == '+' || mText[p] == '-'))
      ++p;
    while (p < n && isDigit(mText[p]))
      ++p;
  }
  const char* first = mText.data() + mPos;
  const char* last = mText.data() + p;
  mPos = p;
  // Fast path: from_chars rounds exactly like strtod. Everything it does not
  // take whole and in range (a leading '+', "1e", underflow, overflow) goes
  // to strto*_l below, whose results the stream extraction is defined by.
  {
    T fast;
    const char* digits = (first != last && *first == '+') ? first + 1 : first;
    if (digits == first || (digits != last && *digits != '-')) {
      const auto r = std::from_chars(digits, last, fast);
      if (r.ec == std::errc() && r.ptr == last) {
        value = fast;
        return true;
      }
    }
  }
  std::string collected(first, last);
  char* end = nullptr;
  T v;
  if constexpr (std::is_same_v<T, float>)
    v = strtof_l(collected.c_str(), &end, classicLocale());
  else
    v = strtod_l(collected.c_str(), &end, classicLocale());
  if (collected.empty() || end != collected.c_str() + collected.size()) {
    value = 0;
    mFail = true;
    return false;
  }
  if (v == std::numeric_limits<T>::infinity()) {
    value = std::numeric_limits<T>::max();
    mFail = true;
    return false;
  }
  if (v == -std::numeric_limits<T>::infinity()) {
    value = -std::numeric_limits<T>::max();
    mFail = true;
    return false;
  }
  value = v;
  return true;
}

bool FieldReader::read(int& value)
{
  return readInteger(value);
}
bool FieldReader::read(long long& value)
{
  return readInteger(value);
}
bool FieldReader::read(float& value)
{
  return readReal(value);
}
bool FieldReader::read(double& value)
{
  return readReal(value);
}
