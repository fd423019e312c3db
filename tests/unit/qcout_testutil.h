#pragma once
// Helpers for the reader and export tests: scratch files, reading through the format table, a table-driven check.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "core/formats/loader.h"

namespace qctest {

inline std::string Fixture(const std::string& name) { return std::string(ORBISK_TEST_DATA) + "/qc/" + name; }
inline std::string Dashes(int n) { return std::string(static_cast<size_t>(n), '-'); }
inline float Bohr(float v) { return static_cast<float>(static_cast<double>(v) * 0.52917721067); }

// Writes `text` byte for byte to a fresh file in the test scratch folder.
inline std::string WriteFile(const std::string& name, const std::string& text)
{
  static int serial = 0; // tests run in parallel processes: keep the names apart
  const std::string path =
      testing::TempDir() + "qcout_" + std::to_string(getpid()) + "_" + std::to_string(++serial) + "_" + name;
  // A file left by an earlier run under a reused process number may be a named pipe, whose open would wait.
  std::remove(path.c_str());
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// The lines of `bars`, separated there by '|', each ended by `eol`.
inline std::string Lines(const std::string& bars, const std::string& eol = "\n")
{
  std::string text = bars + eol;
  for (size_t p = 0; (p = text.find('|', p)) != std::string::npos; p += eol.size())
    text.replace(p, 1, eol);
  return text;
}

// Atom names, or element symbols ("?" when unknown), by structure: "O1,H2,H3|O1,H2,H3"; a structure's name in ().
inline std::string Atoms(const StructureList& list, bool symbols = false)
{
  std::string s;
  for (size_t k = 0; k < list.size(); ++k)
    for (int i = 0; i < list[k]->atoms(); ++i) {
      const vl::EAtomType t = list[k]->atom(i)->atomType();
      s += i ? "," : k ? "|" : "";
      s += !symbols ? list[k]->atom(i)->atomName() : t == vl::AT_Unknown ? "?" : vl::atomInfo(t).mSymbol;
      s += i + 1 < list[k]->atoms() || list[k]->moleculeName().empty() ? "" : "(" + list[k]->moleculeName() + ")";
    }
  return s;
}

// What a reader (for FT_Unknown the loader, rc then being the code) returned and appended, its log, and for an
// exception it threw "out_of_range: WHAT", "invalid_argument: WHAT" or "error: WHAT".
struct Result {
  int rc = -1;
  StructureList list;
  std::string log, error;
};

// Reads `text` (or the file `path`) with the reader of the table entry `format` (FT_XyzNoHeader: the XYZ entry's),
// handing it `code` (`format` unless given).
inline Result ReadText(int format, const std::string& text, int code = -1, std::string path = "")
{
  Result r;
  vl::BufferLog log;
  try {
    path = path.empty() ? WriteFile("read.txt", text) : path;
    const FileFormat* f = FindFormat(format == FT_XyzNoHeader ? FT_Xyz : format);
    r.rc = f ? f->read(path, code < 0 ? format : code, r.list, log) : LoadStructureFile(path, r.list, log);
  } catch (const std::exception& e) {
    const bool range = dynamic_cast<const std::out_of_range*>(&e), bad = dynamic_cast<const std::invalid_argument*>(&e);
    r.error = (range ? "out_of_range: " : bad ? "invalid_argument: " : "error: ") + std::string(e.what());
  }
  r.log = log.text();
  for (const auto& m : r.list)
    EXPECT_GT(m->atoms(), 0); // no empty structure is ever appended
  return r;
}
inline Result Load(const std::string& path) { return ReadText(FT_Unknown, "", -1, path); }

using Coord = std::tuple<size_t, int, int, float>; // structure, atom, axis, value
// What a reader makes of `text`, or in a table of fixtures, of the file `what` and its _crlf copy where there is one.
struct Case {
  std::string what;
  int format;
  std::string text;
  int rc;
  std::string names, symbols, log; // as Atoms writes them (no reader names a structure), symbols "": unchecked
  std::vector<Coord> coords = {};
  int lastBonds = -1; // -1: unchecked
};

inline void CheckAll(const std::vector<Case>& cases, bool fixtures = false)
{
  for (const Case& c : cases) {
    std::vector<std::string> files = {c.what};
    if (fixtures && std::ifstream(Fixture(files.emplace_back(c.what).insert(c.what.rfind('.'), "_crlf"))).fail())
      files.pop_back();
    for (const std::string& file : files) {
      SCOPED_TRACE(file);
      const Result r = ReadText(c.format, c.text, -1, fixtures ? Fixture(file) : "");
      EXPECT_EQ(r.rc, c.rc);
      EXPECT_EQ(Atoms(r.list), c.names);
      EXPECT_EQ(c.symbols.empty() ? "" : Atoms(r.list, true), c.symbols);
      EXPECT_EQ(r.log + r.error, c.log);
      EXPECT_EQ(c.lastBonds < 0 || r.list.empty() ? c.lastBonds : r.list.back()->bonds(), c.lastBonds);
      for (const auto& [structure, atom, axis, value] : c.coords) {
        ASSERT_TRUE(structure < r.list.size() && atom < r.list[structure]->atoms()) << structure << " " << atom;
        EXPECT_EQ(r.list[structure]->atom(atom)->coordinates()[axis], value) << structure << " " << atom << " " << axis;
      }
    }
  }
}

} // namespace qctest
