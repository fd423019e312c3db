#pragma once
// Helpers for the tests of the program-output readers: fixtures, scratch
// files and a log capture.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "readers/readers.h"
#include "vl/log.h"

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

// Names of the atoms of one structure, in order.
inline std::vector<std::string> Names(const vl::Molecule& m)
{
  std::vector<std::string> names;
  for (int i = 0; i < m.atoms(); ++i)
    names.push_back(m.atom(i)->atomName());
  return names;
}

inline std::vector<vl::EAtomType> Types(const vl::Molecule& m)
{
  std::vector<vl::EAtomType> types;
  for (int i = 0; i < m.atoms(); ++i)
    types.push_back(m.atom(i)->atomType());
  return types;
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
