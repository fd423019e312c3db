// Program outputs cut short (a job killed mid-write, a copy that stopped) and binary noise: the readers must
// neither crash nor read past what is there (the sanitizer build checks that); errors leave as std::exception.
#include <filesystem>
#include <set>
#include <sstream>

#include "qcout_testutil.h"

using namespace qctest;

TEST(HostileInput, EveryPrefixOfProgramOutputsAndNoiseLoadsSafely)
{
  // Program outputs (LF, CRLF); noise under each ending and behind each format's header, inside a table.
  std::vector<std::filesystem::path> files;
  for (const std::string& dir : {Fixture(""), std::string(ORBISK_TEST_DATA) + "/hostile/"})
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.path().filename().string()[0] != '.')
        files.push_back(entry.path());
  ASSERT_GE(files.size(), 20u);
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    const bool output = file.parent_path().filename() == "qc";
    std::ostringstream read;
    read << std::ifstream(file, std::ios::binary).rdbuf();
    const std::string text = read.str();
    const Result whole = Load(file);
    ASSERT_TRUE(!output || (whole.rc > 0 && !whole.list.empty() && whole.error.empty()));
    // Cut at every line and mid-line, shortest last, in one copy that keeps the file's ending (detection looks at it).
    std::set<size_t> cuts{0, text.size()};
    for (size_t begin = 0, nl; (nl = text.find('\n', begin)) != std::string::npos; begin = nl + 1)
      cuts.insert({(begin + nl) / 2, nl + 1});
    const std::string path = WriteFile(file.filename(), text);
    for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
      SCOPED_TRACE("first " + std::to_string(*cut) + " bytes");
      std::filesystem::resize_file(path, *cut);
      const Result prefix = Load(path);
      // Never more, and never taken for another program's output (-1: the reader threw).
      EXPECT_TRUE(!output || prefix.list.size() <= whole.list.size()) << prefix.list.size();
      EXPECT_TRUE(!output || prefix.rc == whole.rc || prefix.rc == FT_Unknown || prefix.rc == -1) << prefix.rc;
    }
    std::filesystem::remove(path);
  }
}
