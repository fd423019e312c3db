#pragma once
// Message formatting: "%s" takes a text, "%n" a number ("%.3n" with three
// decimals), "%%" is a percent sign. Arguments are fed with operator<<.
#include <string>
#include <vector>

namespace vl {

class Say {
public:
  explicit Say(std::string format) : mFormat(std::move(format)) {}

  Say& operator<<(const std::string& text);
  Say& operator<<(std::string&& text); // a logged line can be megabytes: no copy
  Say& operator<<(const char* text) { return *this << std::string(text ? text : ""); }
  Say& operator<<(double value);
  Say& operator<<(float value) { return *this << static_cast<double>(value); }
  Say& operator<<(long long value);
  Say& operator<<(unsigned long long value);
  Say& operator<<(int value) { return *this << static_cast<long long>(value); }
  Say& operator<<(long value) { return *this << static_cast<long long>(value); }
  Say& operator<<(unsigned value) { return *this << static_cast<unsigned long long>(value); }
  Say& operator<<(unsigned long value) { return *this << static_cast<unsigned long long>(value); }

  // The formatted text. A placeholder without an argument shows as
  // "<missing>"; arguments left over are appended as " <extra: ...>".
  std::string str() const;
  operator std::string() const { return str(); }

private:
  struct Arg {
    enum Kind { Text, Integer, Unsigned, Real } kind;
    std::string text;
    long long integer = 0;
    unsigned long long uinteger = 0;
    double real = 0;
  };
  std::string mFormat;
  std::vector<Arg> mArgs;
};

// Number text as "%n" prints it; decimals < 0 means the default (6).
std::string formatNumber(double value, int decimals = -1);

} // namespace vl
