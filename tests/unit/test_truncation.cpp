// Inputs no program wrote on purpose. Program outputs cut short (a job
// killed mid-write, a copy that stopped, a file still being written): every
// prefix of every fixture is loaded. Files of binary noise, alone or behind a
// genuine header. The readers must neither crash nor read past what is there
// (the sanitizer build checks that); errors may only leave as std::exception.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>
#include <unistd.h>

#include "qcout_testutil.h"
#include "core/formats/loader.h"

using namespace qctest;

namespace {

std::string ReadAll(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every line boundary and the middle of every line (a half-written row).
// A cut just before a '\n' reads like the cut after it: a last line without
// one still counts.
std::vector<size_t> CutPoints(const std::string& text)
{
  std::set<size_t> cuts{0, text.size()};
  size_t begin = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', begin)) {
    cuts.insert((begin + nl) / 2);
    cuts.insert(nl + 1);
    begin = nl + 1;
  }
  return {cuts.begin(), cuts.end()};
}

struct Outcome {
  int code = -1;
  size_t structures = 0;
  bool threw = false;
};

Outcome Load(const std::string& path)
{
  Outcome o;
  StructureList list;
  try {
    o.code = LoadStructureFile(path, list);
  } catch (const std::exception&) {
    o.threw = true; // a malformed WFN table is reported this way
  }
  o.structures = list.size();
  for (const auto& m : list)
    EXPECT_GT(m->atoms(), 0); // no empty structure is ever appended
  return o;
}

} // namespace

TEST(HostileInput, EveryPrefixOfEveryProgramOutputLoadsSafely)
{
  // Gaussian, GAMESS, CFOUR, KALDER and WFN outputs, LF and CRLF.
  std::vector<std::string> fixtures;
  for (const auto& entry : std::filesystem::directory_iterator(Fixture("")))
    if (entry.path().filename().string()[0] != '.')
      fixtures.push_back(entry.path().filename().string());
  std::sort(fixtures.begin(), fixtures.end());
  ASSERT_GE(fixtures.size(), 10u);

  LogCapture quiet;
  for (const std::string& name : fixtures) {
    SCOPED_TRACE(name);
    const std::string text = ReadAll(Fixture(name));
    ASSERT_FALSE(text.empty());
    const Outcome whole = Load(Fixture(name));
    ASSERT_FALSE(whole.threw);
    ASSERT_GT(whole.structures, 0u);

    // One scratch copy per fixture, cut shorter and shorter in place (no
    // rewrite per prefix); the name keeps the fixture's ending, which
    // detection looks at.
    const std::string path = testing::TempDir() + "truncated_" + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary) << text;
    std::vector<size_t> cuts = CutPoints(text);
    std::reverse(cuts.begin(), cuts.end());
    for (size_t cut : cuts) {
      SCOPED_TRACE("first " + std::to_string(cut) + " bytes");
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
      const Outcome part = Load(path);
      EXPECT_LE(part.structures, whole.structures);
      if (!part.threw && part.code != FT_Unknown)
        EXPECT_EQ(part.code, whole.code); // a prefix is never taken for another program's output
    }
    std::remove(path.c_str());
  }
}

TEST(HostileInput, BinaryNoiseLoadsSafely)
{
  // Noise alone under each extension, and behind the header of every format,
  // so that each reader meets it inside a coordinate table.
  const std::string dir = std::string(ORBISK_TEST_DATA) + "/hostile";
  LogCapture quiet;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string()[0] == '.')
      continue;
    SCOPED_TRACE(entry.path().string());
    Load(entry.path().string());
    ++files;
  }
  EXPECT_GE(files, 10);
}
