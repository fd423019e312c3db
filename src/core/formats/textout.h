#pragma once
// Buffered text output for the writers of the structure formats.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/model/elements.h"
#include "core/model/molecule.h"

namespace textout {

// Collects output in a large block and hands it to stdio in few writes: a
// trajectory export is millions of short lines.
class Output {
public:
  explicit Output(std::FILE* out) : mOut(out) { mBuffer.reserve(kBlock + 4096); }
  ~Output() { flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  Output& text(std::string_view s)
  {
    mBuffer.append(s.data(), s.size());
    return maybeFlush();
  }
  Output& ch(char c)
  {
    mBuffer.push_back(c);
    return *this;
  }
  Output& integer(long long v)
  {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    mBuffer.append(buf, end);
    return *this;
  }
  // Right-justified in width columns, like "%*d".
  Output& integer(long long v, int width)
  {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    pad(width - static_cast<int>(end - buf));
    mBuffer.append(buf, end);
    return *this;
  }
  // Like "%*.*f" of the value as a double (to_chars rounds exactly as printf does).
  Output& fixed(float v, int decimals, int width = 0)
  {
    char buf[96];
    auto end = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, decimals).ptr;
    pad(width - static_cast<int>(end - buf));
    mBuffer.append(buf, end);
    return *this;
  }
  Output& line(std::string_view s = {})
  {
    mBuffer.append(s.data(), s.size());
    mBuffer.push_back('\n');
    return maybeFlush();
  }
  void flush()
  {
    if (!mBuffer.empty())
      std::fwrite(mBuffer.data(), 1, mBuffer.size(), mOut);
    mBuffer.clear();
  }

private:
  static constexpr size_t kBlock = 1 << 20;
  void pad(int n)
  {
    if (n > 0)
      mBuffer.append(static_cast<size_t>(n), ' ');
  }
  Output& maybeFlush()
  {
    if (mBuffer.size() >= kBlock)
      flush();
    return *this;
  }
  std::FILE* mOut;
  std::string mBuffer;
};

// Element symbol of the atom's type; X for anything unrecognised (dummies).
inline std::string_view symbolOf(const vl::Atom& atom)
{
  const char* s = vl::atomInfo(atom.atomType()).symbol();
  return (s && *s) ? std::string_view(s) : std::string_view("X");
}

inline std::string frameTitle(const std::string& source, size_t k, size_t n)
{
  return source + " " + std::to_string(k) + "/" + std::to_string(n);
}

} // namespace textout
