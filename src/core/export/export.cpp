#include "core/export/export.h"

#include "core/formats/inputfile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <exception>
#include <unordered_map>

#include "core/formats/loader.h"
#include "core/model/log.h"

namespace {

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
std::string_view symbolOf(const vl::Atom& atom)
{
  const char* s = vl::atomInfo(atom.atomType()).symbol();
  return (s && *s) ? std::string_view(s) : std::string_view("X");
}

std::string frameTitle(const std::string& source, size_t k, size_t n)
{
  return source + " " + std::to_string(k) + "/" + std::to_string(n);
}

// 1-based atom indices of every bond's two atoms; 0 for an atom that is not
// part of the structure (never produced by the readers).
std::vector<std::pair<int, int>> bondIndices(const vl::Molecule& m)
{
  std::unordered_map<const vl::Atom*, int> index;
  index.reserve(static_cast<size_t>(m.atoms()));
  for (int i = 0; i < m.atoms(); ++i)
    index.emplace(m.atom(i), i + 1);
  auto lookup = [&](const vl::Atom* a) {
    auto it = index.find(a);
    return it == index.end() ? 0 : it->second;
  };
  std::vector<std::pair<int, int>> result;
  result.reserve(static_cast<size_t>(m.bonds()));
  for (int b = 0; b < m.bonds(); ++b)
    result.emplace_back(lookup(m.bond(b)->atom1()), lookup(m.bond(b)->atom2()));
  return result;
}

void writeV2000(Output& out, const vl::Molecule& m, const std::vector<std::pair<int, int>>& bonds)
{
  out.integer(m.atoms(), 3).integer(static_cast<long long>(bonds.size()), 3).line("  0  0  0  0  0  0  0  0999 V2000");
  for (int i = 0; i < m.atoms(); ++i) {
    const vl::Atom& a = *m.atom(i);
    const vl::fvec3& c = a.coordinates();
    out.fixed(c.x, 4, 10).fixed(c.y, 4, 10).fixed(c.z, 4, 10).ch(' ');
    std::string_view sym = symbolOf(a);
    out.text(sym);
    for (size_t k = sym.size(); k < 3; ++k)
      out.ch(' ');
    out.line(" 0  0  0  0  0  0  0  0  0  0  0  0");
  }
  for (const auto& b : bonds)
    out.integer(b.first, 3).integer(b.second, 3).line("  1  0  0  0  0");
}

void writeV3000(Output& out, const vl::Molecule& m, const std::vector<std::pair<int, int>>& bonds)
{
  out.line("  0  0  0     0  0            999 V3000");
  out.line("M  V30 BEGIN CTAB");
  out.text("M  V30 COUNTS ").integer(m.atoms()).ch(' ').integer(static_cast<long long>(bonds.size())).line(" 0 0 0");
  out.line("M  V30 BEGIN ATOM");
  for (int i = 0; i < m.atoms(); ++i) {
    const vl::Atom& a = *m.atom(i);
    const vl::fvec3& c = a.coordinates();
    out.text("M  V30 ").integer(i + 1).ch(' ').text(symbolOf(a)).ch(' ');
    out.fixed(c.x, 4).ch(' ').fixed(c.y, 4).ch(' ').fixed(c.z, 4).line(" 0");
  }
  out.line("M  V30 END ATOM");
  if (!bonds.empty()) {
    out.line("M  V30 BEGIN BOND");
    for (size_t k = 0; k < bonds.size(); ++k)
      out.text("M  V30 ").integer(static_cast<long long>(k + 1)).text(" 1 ").integer(bonds[k].first).ch(' ').integer(bonds[k].second).line();
    out.line("M  V30 END BOND");
  }
  out.line("M  V30 END CTAB");
}

// Sends the log to standard error for the duration of an export.
class LogToStderr {
public:
  LogToStderr() : mPrevious(vl::Log::output()) { vl::Log::setOutput(stderr); }
  ~LogToStderr() { vl::Log::setOutput(mPrevious); }
  LogToStderr(const LogToStderr&) = delete;
  LogToStderr& operator=(const LogToStderr&) = delete;

private:
  std::FILE* mPrevious;
};

void printError(const std::string& text) { std::fputs(text.c_str(), stderr); }

} // namespace

void WriteXyz(std::FILE* file, const StructureList& structures, const std::string& source)
{
  Output out(file);
  const size_t n = structures.size();
  for (size_t k = 0; k < n; ++k) {
    const vl::Molecule& m = *structures[k];
    out.integer(m.atoms()).line();
    out.line(frameTitle(source, k + 1, n));
    for (int i = 0; i < m.atoms(); ++i) {
      const vl::Atom& a = *m.atom(i);
      const vl::fvec3& c = a.coordinates();
      out.text(symbolOf(a)).ch(' ').fixed(c.x, 6).ch(' ').fixed(c.y, 6).ch(' ').fixed(c.z, 6).ch(' ');
      out.line(a.atomName());
    }
  }
}

void WriteSdf(std::FILE* file, const StructureList& structures, const std::string& source)
{
  Output out(file);
  const size_t n = structures.size();
  for (size_t k = 0; k < n; ++k) {
    const vl::Molecule& m = *structures[k];
    const auto bonds = bondIndices(m);
    out.line(frameTitle(source, k + 1, n));
    out.line("  ORBISK");
    out.line();
    // The V2000 counts line has three columns per count.
    if (m.atoms() > 999 || bonds.size() > 999)
      writeV3000(out, m, bonds);
    else
      writeV2000(out, m, bonds);
    out.line("M  END");
    out.line("$$$$");
  }
}

int ExportStructures(const std::string& file, const std::string& format)
{
  LogToStderr logToStderr;
  if (format != "xyz" && format != "sdf") {
    printError("Unknown export format '" + format + "': use xyz or sdf\n");
    return 1;
  }
  const std::string problem = InputFileProblem(file);
  if (!problem.empty()) {
    printError(problem);
    return 1;
  }

  StructureList structures;
  bool failed = false;
  try {
    LoadStructureFile(file, structures);
  } catch (const std::exception& e) {
    // What was read before the error is still written.
    printError(std::string("ERROR: ") + e.what() + "\n");
    failed = true;
  }
  if (structures.empty()) {
    vl::Log::print("No molecules could be found!\n");
    return 1;
  }
  LogStructureList(structures);

  if (format == "xyz")
    WriteXyz(stdout, structures, file);
  else
    WriteSdf(stdout, structures, file);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    printError("Cannot write to standard output\n");
    return 1;
  }
  return failed ? 1 : 0;
}
