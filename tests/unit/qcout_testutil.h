#pragma once
// Helpers for the reader and export tests: fixtures, scratch files, a log
// capture and atom lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "core/formats/readers.h"
#include "core/model/log.h"

namespace qctest {

inline std::string Fixture(const std::string& name) { return std::string(ORBISK_TEST_DATA) + "/qc/" + name; }

// Writes `text` byte for byte to a fresh file in the test scratch folder.
inline std::string WriteFile(const std::string& name, const std::string& text)
{
  static int serial = 0;
  // Every test runs in its own process, in parallel: keep the names apart.
  const std::string path =
      testing::TempDir() + "qcout_" + std::to_string(getpid()) + "_" + std::to_string(++serial) + "_" + name;
  std::ofstream out(path, std::ios::binary);
  out << text;
  return path;
}

// Lines joined with "\n" (or "\r\n"), the last one terminated too.
inline std::string Lines(const std::vector<std::string>& lines, const char* eol = "\n")
{
  std::string text;
  for (const auto& l : lines)
    text += l + eol;
  return text;
}

// Redirects the log to a temporary file for its lifetime.
class LogCapture {
public:
  LogCapture() : mFile(std::tmpfile()) { vl::Log::setOutput(mFile); }
  ~LogCapture()
  {
    vl::Log::setOutput(nullptr);
    if (mFile)
      std::fclose(mFile);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const
  {
    std::string out;
    std::rewind(mFile);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, mFile)) > 0)
      out.append(buf, n);
    return out;
  }

private:
  std::FILE* mFile;
};

// Atom names, or element symbols ("?" when unknown), joined with commas.
inline std::string NameList(const vl::Molecule& m)
{
  std::string s;
  for (int i = 0; i < m.atoms(); ++i)
    s += (i ? "," : "") + m.atom(i)->atomName();
  return s;
}

inline std::string SymbolList(const vl::Molecule& m)
{
  std::string s;
  for (int i = 0; i < m.atoms(); ++i) {
    const vl::EAtomType t = m.atom(i)->atomType();
    s += (i ? "," : "") + std::string(t == vl::AT_Unknown ? "?" : vl::atomInfo(t).mSymbol);
  }
  return s;
}

inline std::string Repeat(const std::string& s, int n)
{
  std::string out;
  for (int i = 0; i < n; ++i)
    out += s;
  return out;
}

inline float Bohr(float v) { return static_cast<float>(static_cast<double>(v) * 0.52917721067); }

} // namespace qctest
