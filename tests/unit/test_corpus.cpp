// Loads every file of the shared corpus of real program outputs and compares
// with the expectations listed beside them.
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qcout_testutil.h"
#include "core/chemistry/bonds.h"
#include "core/formats/loader.h"

namespace {

struct Expected {
  std::string file;
  int code = 0;
  size_t structures = 0;
  int atoms = 0;
  int bonds = 0;
  std::string error;
};

std::vector<Expected> ReadExpectations(const std::string& path)
{
  std::vector<Expected> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line); // column names
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty())
      continue;
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t'))
      cols.push_back(col);
    cols.resize(6);
    Expected e;
    e.file = cols[0];
    e.code = std::stoi(cols[1]);
    e.structures = std::stoul(cols[2]);
    e.atoms = std::stoi(cols[3]);
    e.bonds = std::stoi(cols[4]);
    e.error = cols[5];
    rows.push_back(e);
  }
  return rows;
}

} // namespace

TEST(Corpus, EveryFileLoadsAsExpected)
{
  const std::string dir = ORBISK_CORPUS_DIR;
  const std::string table = dir + "/expected.tsv";
  if (!std::ifstream(table))
    GTEST_SKIP() << "no corpus at " << dir;
  const auto rows = ReadExpectations(table);
  ASSERT_FALSE(rows.empty());

  qctest::LogCapture quiet;
  for (const Expected& e : rows) {
    SCOPED_TRACE(e.file);
    StructureList list;
    int code = -1;
    std::string error;
    try {
      code = LoadStructureFile(dir + "/" + e.file, list);
    } catch (const std::exception& ex) {
      error = ex.what();
    }
    EXPECT_EQ(error, e.error);
    if (e.error.empty())
      EXPECT_EQ(code, e.code);
    ASSERT_EQ(list.size(), e.structures);
    if (!list.empty()) {
      EXPECT_EQ(list.back()->atoms(), e.atoms);
      // Atoms piled onto one another get no bonds rather than n^2 of them.
      const bool piledUp = static_cast<size_t>(e.bonds) > kMaxBondsPerAtom * static_cast<size_t>(e.atoms);
      EXPECT_EQ(list.back()->bonds(), piledUp ? 0 : e.bonds);
    }
  }
}
