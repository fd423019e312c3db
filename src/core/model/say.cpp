#include "core/model/say.h"

#include <cmath>
#include <cstdio>

namespace vl {

std::string formatNumber(double value, int decimals)
{
  if (std::isnan(value))
    return "#NAN";
  if (std::isinf(value))
    return value > 0 ? "+#INF" : "-#INF";
  if (decimals < 0)
    decimals = 6;
  if (decimals > 30)
    decimals = 30;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}

Say& Say::operator<<(const std::string& text)
{
  Arg a{Arg::Text, text};
  mArgs.push_back(std::move(a));
  return *this;
}

Say& Say::operator<<(std::string&& text)
{
  Arg a{Arg::Text, std::move(text)};
  mArgs.push_back(std::move(a));
  return *this;
}

Say& Say::operator<<(double value)
{
  Arg a{Arg::Real, {}};
  a.real = value;
  mArgs.push_back(std::move(a));
  return *this;
}

Say& Say::operator<<(long long value)
{
  Arg a{Arg::Integer, {}};
  a.integer = value;
  mArgs.push_back(std::move(a));
  return *this;
}

Say& Say::operator<<(unsigned long long value)
{
  Arg a{Arg::Unsigned, {}};
  a.uinteger = value;
  mArgs.push_back(std::move(a));
  return *this;
}

namespace {

template <class ArgT>
std::string argText(const ArgT& a, int decimals)
{
  using Kind = decltype(a.kind);
  switch (a.kind) {
  case Kind::Text:
    return a.text;
  case Kind::Integer:
    return decimals < 0 ? std::to_string(a.integer) : formatNumber(static_cast<double>(a.integer), decimals);
  case Kind::Unsigned:
    return decimals < 0 ? std::to_string(a.uinteger) : formatNumber(static_cast<double>(a.uinteger), decimals);
  case Kind::Real:
    return formatNumber(a.real, decimals);
  }
  return {};
}

} // namespace

std::string Say::str() const
{
  // Sized once: growing by doubling while a huge text argument is appended
  // would hold two copies of it.
  size_t size = mFormat.size();
  for (const Arg& a : mArgs)
    size += a.kind == Arg::Text ? a.text.size() + 10 : 32;
  std::string out;
  out.reserve(size);
  size_t next = 0;
  const size_t n = mFormat.size();
  for (size_t i = 0; i < n; ++i) {
    char c = mFormat[i];
    if (c != '%' || i + 1 >= n) {
      out += c;
      continue;
    }
    char d = mFormat[i + 1];
    if (d == '%') {
      out += '%';
      ++i;
      continue;
    }
    int decimals = -1;
    size_t j = i + 1;
    if (d == '.') {
      size_t k = j + 1;
      int value = 0;
      bool digits = false;
      while (k < n && mFormat[k] >= '0' && mFormat[k] <= '9' && value < 100) {
        value = value * 10 + (mFormat[k] - '0');
        digits = true;
        ++k;
      }
      if (digits && k < n && mFormat[k] == 'n') {
        decimals = value;
        j = k;
      }
    }
    char conversion = mFormat[j];
    if (conversion != 's' && conversion != 'n') {
      out += c; // not a placeholder: keep the text as it is
      continue;
    }
    if (next < mArgs.size() && mArgs[next].kind == Arg::Text)
      out += mArgs[next++].text; // appended in place, not through a copy
    else if (next < mArgs.size())
      out += argText(mArgs[next++], conversion == 'n' ? decimals : -1);
    else
      out += "<missing>";
    i = j;
  }
  for (; next < mArgs.size(); ++next)
    out += " <extra: " + argText(mArgs[next], -1) + ">";
  return out;
}

} // namespace vl
