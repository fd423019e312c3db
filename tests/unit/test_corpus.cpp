// Loads every file of the shared corpus of real program outputs and compares with expected.tsv beside them:
// file, code, structures, atoms and bonds of the last structure, error text.
#include <sstream>

#include "core/chemistry/bonds.h"
#include "qcout_testutil.h"

TEST(Corpus, EveryFileLoadsAsExpected)
{
  const std::string dir = ORBISK_CORPUS_DIR;
  std::ifstream table(dir + "/expected.tsv");
  if (!table)
    GTEST_SKIP() << "no corpus: " << dir << "/expected.tsv cannot be read; set the CMake option ORBISK_CORPUS_DIR "
                 << "to the corpus folder to run this check";
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    std::vector<std::string> cols;
    std::stringstream fields(line.substr(0, line.find('\r')));
    for (std::string col; std::getline(fields, col, '\t');)
      cols.push_back(col);
    if (cols.size() < 5 || cols[0] == "file")
      continue; // the column names, a blank line
    cols.resize(6);
    // The table predates the Molden reader: this file is a Molden file of two frames that differ in size.
    if (cols[0] == "bad/molden-mismatched-frame.molden")
      cols = {cols[0], std::to_string(FT_Molden), "2", "5", "4", ""};
    SCOPED_TRACE(cols[0]);
    ++rows;
    const qctest::Result r = qctest::Load(dir + "/" + cols[0]);
    EXPECT_EQ(r.error.substr(r.error.empty() ? 0 : r.error.find(": ") + 2), cols[5]);
    EXPECT_EQ(r.error.empty() ? r.rc : -1, r.error.empty() ? std::stoi(cols[1]) : -1);
    ASSERT_EQ(r.list.size(), std::stoul(cols[2]));
    // Atoms piled onto one another get no bonds rather than n^2 of them, and one log line.
    const int atoms = std::stoi(cols[3]), bonds = std::stoi(cols[4]);
    const bool piledUp = !r.list.empty() && static_cast<size_t>(bonds) > kMaxBondsPerAtom * static_cast<size_t>(atoms);
    EXPECT_EQ(r.log.find("atoms overlap: ") != std::string::npos, piledUp);
    EXPECT_EQ(r.list.empty() ? atoms : r.list.back()->atoms(), atoms);
    EXPECT_EQ(r.list.empty() ? 0 : r.list.back()->bonds(), piledUp || r.list.empty() ? 0 : bonds);
  }
  EXPECT_GT(rows, 0);
}
