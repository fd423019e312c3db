#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"

namespace {

// The same extraction sequence on FieldReader and on std::istringstream: every
// stored value (bit for bit) and the fail state after each step agree.
// Kinds: 'i' int, 'l' long long, 'f' float, 'd' double, 's' string.
void expectSameAsStream(const std::string& text, const std::string& kinds)
{
  SCOPED_TRACE("text '" + text + "' kinds " + kinds);
  FieldReader fields(text);
  std::istringstream stream(text);
  auto step = [&](auto a) { // both start from the same sentinel, so that "not stored" shows too
    auto b = a;
    fields >> a;
    stream >> b;
    if constexpr (std::is_same_v<decltype(a), std::string>)
      EXPECT_EQ(a, b);
    else
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << a << " vs " << b;
  };
  for (char k : kinds) {
    k == 'i' ? step(77) : k == 'l' ? step(77LL) : k == 'f' ? step(77.0f) : k == 'd' ? step(77.0)
                                                                          : step(std::string("x"));
    ASSERT_EQ(fields.fail(), stream.fail());
  }
}

} // namespace

TEST(FieldReader, TrickyRandomAndNumericTextsMatchStreamExtraction)
{
  const char* tricky[] = {
    "1.5abc", "1e", "1e+", "1e-", ".5", "5.", ".", "-", "+", "+.5e-3x", "-.5E+3", "1e39", "-1e39", "1e-50", "-1e-50",
    "1e-40", "1e309", "1e-400", "99999999999", "-99999999999", "2147483647", "-2147483648", "2147483648",
    "9223372036854775807", "9223372036854775808", "-9223372036854775808", "0x10", "inf", "-inf", "nan", "NaN",
    "\t3\t4.5\t", "7\r", "\r", "", "   ", "1.2.3", "00012", "-0", "+-1", "1e5e3", "1.e5", ".e5", "e5",
    "3.14159265358979323846", "0.1 0.2 0.3", "C 1.0 2.0 3.0", "12 atoms", "\v\f9", "1,5", "-0.0",
    "0.000000000000000000000000000000001", "340282356779733661637539395458142568448",
    "340282346638528859811704183484516925440"};
  for (const char* t : tricky)
    for (const char* kinds : {"i", "l", "f", "d", "s", "fi", "if", "sfff", "fffs", "iii", "ddd", "sis", "fsf"})
      expectSameAsStream(t, kinds);

  // Texts of the characters that matter to number parsing; random bit patterns, halfway cases between
  // floats, denormals and long digit strings, printed in the forms coordinate files use.
  const std::string alphabet = "0123456789012345678901234567890123456789+-.eE   \txa\r";
  std::mt19937_64 rng(20240611);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1), length(0, 24), kind(0, 4);
  std::uniform_int_distribution<uint64_t> bits;
  std::uniform_int_distribution<int> exponent(-330, 330), digits(1, 40);
  const char* formats[] = {"%.17g", "%.9g", "%.6f", "%+.3e"};
  char buf[128];
  for (int n = 0; n < 20000 && !testing::Test::HasFailure(); ++n) {
    std::string text, seq, longDigits;
    for (size_t k = length(rng); k > 0; --k)
      text += alphabet[pick(rng)];
    for (int k = 0; k < 4; ++k)
      seq += "ilfds"[kind(rng)];
    expectSameAsStream(text, seq);
    const uint64_t b = bits(rng);
    double d;
    std::memcpy(&d, &b, sizeof d);
    const double value = n % 2 && std::isfinite(d) ? d : std::ldexp(1.0, exponent(rng) / 3) * 1.0000000596;
    std::snprintf(buf, sizeof buf, formats[n % 4], value);
    expectSameAsStream(buf, "f");
    expectSameAsStream(buf, "d");
    for (int k = digits(rng); k > 0; --k)
      longDigits += static_cast<char>('0' + bits(rng) % 10);
    longDigits += "e" + std::to_string(exponent(rng) / 4);
    expectSameAsStream(longDigits, "fd");
    const size_t point = longDigits.size() / 2;
    expectSameAsStream("-" + longDigits.substr(0, point) + "." + longDigits.substr(point), "f");
  }
}

TEST(TextHelpers, BlankTextsCountLinesLikeStoiAndLinesLikeGetline)
{
  EXPECT_TRUE(IsBlank("") && IsBlank(" \t\r\n\v\f"));
  EXPECT_FALSE(IsBlank(" \t.\r") || IsBlank(std::string_view("\0", 1))); // NUL is not white space
  for (const std::string t : {"3", " 3 atoms", "\t+12\r", "-2", "0", "2147483647", "-2147483648", "2147483648",
                              "-2147483649", "99999999999999999999999", "", "  ", "atoms 3", "+", "-", "+ 3", "0x10",
                              "3.7", "\v\f7", "007"}) {
    int expected = 55, value = 55;
    bool converts = true;
    try { expected = std::stoi(t); } catch (const std::exception&) { converts = false; }
    EXPECT_EQ(ParseCountLine(t, value), converts) << t;
    EXPECT_EQ(value, expected) << t;
  }
  // Lines split like std::getline.
  const std::string path = testing::TempDir() + "linereader-" + std::to_string(getpid());
  const std::string texts[] = {"", "a", "a\n", "a\nb", "\n\n", "a\r\nb\r\n", "x\n\ny\n\n\nz",
                               std::string("nul\0inside\n", 11), std::string(3 << 20, 'q') + "\nend"};
  std::string_view line;
  for (const std::string& text : texts) {
    std::ofstream(path, std::ios::binary) << text;
    std::istringstream stream(text);
    std::vector<std::string> want, got;
    for (std::string w; std::getline(stream, w);)
      want.push_back(w);
    LineReader in(path);
    while (in.next(line))
      got.emplace_back(line);
    EXPECT_EQ(got, want);
    EXPECT_FALSE(in.next(line)); // stays at the end
  }
  // Neither a missing file, a folder, a pipe nobody writes to (the open would
  // wait) nor an endless device is read.
  ::unlink(path.c_str());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  for (const std::string& bad : {path + "-missing", testing::TempDir(), path, std::string("/dev/zero")}) {
    LineReader in(bad);
    EXPECT_FALSE(in.next(line)) << bad;
    EXPECT_FALSE(in.skip(1)) << bad;
  }
  ::unlink(path.c_str());
}
