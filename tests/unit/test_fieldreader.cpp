#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "qcout_testutil.h"
#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"

namespace {

// One extraction on both, from the same sentinel so that "not stored" shows too.
template <class T>
void Step(FieldReader& fields, std::istringstream& stream, T sentinel)
{
  T a = sentinel, b = sentinel;
  fields >> a;
  stream >> b;
  if constexpr (std::is_same_v<T, std::string>)
    EXPECT_EQ(a, b);
  else
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << a << " vs " << b; // bit for bit
}

// Runs the same extraction sequence on FieldReader and on std::istringstream
// and compares every stored value and the fail state after each step.
// Kinds: 'i' int, 'l' long long, 'f' float, 'd' double, 's' string.
void ExpectSameAsStream(const std::string& text, const std::string& kinds)
{
  SCOPED_TRACE("text '" + text + "' kinds " + kinds);
  FieldReader fields(text);
  std::istringstream stream(text);
  for (char k : kinds) {
    switch (k) {
    case 'i': Step<int>(fields, stream, 77); break;
    case 'l': Step<long long>(fields, stream, 77); break;
    case 'f': Step<float>(fields, stream, 77); break;
    case 'd': Step<double>(fields, stream, 77); break;
    default: Step<std::string>(fields, stream, "sentinel"); break;
    }
    ASSERT_EQ(fields.fail(), stream.fail());
  }
}

} // namespace

TEST(FieldReader, TrickyTextsMatchStreamExtraction)
{
  const char* tricky[] = {
    "1.5abc", "1e", "1e+", "1e-", ".5", "5.", ".", "-", "+", "+.5e-3x", "-.5E+3", "1e39", "-1e39", "1e-50", "-1e-50",
    "1e-40", "1e309", "1e-400", "99999999999", "-99999999999", "2147483647", "-2147483648", "2147483648",
    "9223372036854775807", "9223372036854775808", "-9223372036854775808", "0x10", "inf", "-inf", "nan", "NaN",
    "\t3\t4.5\t", "7\r", "\r", "", "   ", "1.2.3", "00012", "-0", "+-1", "1e5e3", "1.e5", ".e5", "e5",
    "3.14159265358979323846", "0.1 0.2 0.3", "C 1.0 2.0 3.0", "12 atoms", "\v\f9", "1,5", "-0.0",
    "0.000000000000000000000000000000001", "340282356779733661637539395458142568448",
    "340282346638528859811704183484516925440",
  };
  for (const char* t : tricky)
    for (const char* kinds : {"i", "l", "f", "d", "s", "fi", "if", "sfff", "fffs", "iii", "ddd", "sis", "fsf"})
      ExpectSameAsStream(t, kinds);
}

TEST(FieldReader, RandomTextsAndNumbersMatchStreamExtraction)
{
  // Texts built from the characters that matter to number parsing.
  const std::string alphabet = "0123456789012345678901234567890123456789+-.eE   \txa\r";
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1), length(0, 24), kind(0, 4);
  for (int n = 0; n < 20000 && !testing::Test::HasFailure(); ++n) {
    std::string text, seq;
    for (size_t k = length(rng); k > 0; --k)
      text += alphabet[pick(rng)];
    for (int k = 0; k < 4; ++k)
      seq += "ilfds"[kind(rng)];
    ExpectSameAsStream(text, seq);
  }

  // Values of every magnitude, halfway cases between floats, denormals and
  // long digit strings, printed in the forms coordinate files use.
  std::mt19937_64 rng64(42);
  std::uniform_int_distribution<uint64_t> bits;
  std::uniform_int_distribution<int> exponent(-330, 330), digits(1, 40);
  const char* formats[] = {"%.17g", "%.9g", "%.6f", "%+.3e"};
  char buf[128];
  for (int n = 0; n < 20000 && !testing::Test::HasFailure(); ++n) {
    double d;
    do {
      const uint64_t b = bits(rng64);
      std::memcpy(&d, &b, sizeof d);
    } while (!std::isfinite(d));
    std::snprintf(buf, sizeof buf, formats[n % 4], n % 2 ? d : std::ldexp(1.0, exponent(rng64) / 3) * 1.0000000596);
    ExpectSameAsStream(buf, "f");
    ExpectSameAsStream(buf, "d");
    std::string longDigits;
    for (int k = digits(rng64); k > 0; --k)
      longDigits += static_cast<char>('0' + bits(rng64) % 10);
    longDigits += "e" + std::to_string(exponent(rng64) / 4);
    ExpectSameAsStream(longDigits, "fd");
    const size_t point = longDigits.size() / 2;
    ExpectSameAsStream("-" + longDigits.substr(0, point) + "." + longDigits.substr(point), "f");
  }
}

TEST(FieldReader, BlankTexts)
{
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank(" \t\r\n\v\f"));
  EXPECT_FALSE(IsBlank(" \t.\r"));
  EXPECT_FALSE(IsBlank(std::string_view("\0", 1))); // NUL is not white space
}

TEST(CountLine, FollowsStoi)
{
  for (const std::string t : {"3", " 3 atoms", "\t+12\r", "-2", "0", "2147483647", "-2147483648", "2147483648",
                              "-2147483649", "99999999999999999999999", "", "  ", "atoms 3", "+", "-", "+ 3", "0x10",
                              "3.7", "\v\f7", "007"}) {
    SCOPED_TRACE(t);
    int expected = 55;
    bool converts = true;
    try {
      expected = std::stoi(t);
    } catch (const std::exception&) {
      converts = false;
    }
    int value = 55;
    EXPECT_EQ(ParseCountLine(t, value), converts);
    EXPECT_EQ(value, expected);
  }
}

TEST(LineReader, SplitsLikeGetline)
{
  const std::string texts[] = {"", "a", "a\n", "a\nb", "\n\n", "a\r\nb\r\n", "x\n\ny\n\n\nz",
                               std::string("nul\0inside\n", 11), std::string(3 << 20, 'q') + "\nend"};
  for (const std::string& text : texts) {
    std::istringstream expected(text);
    LineReader in(qctest::WriteFile("lines.txt", text));
    std::string want;
    std::string_view got;
    while (std::getline(expected, want)) {
      ASSERT_TRUE(in.next(got));
      EXPECT_EQ(std::string(got), want);
    }
    EXPECT_FALSE(in.next(got));
    EXPECT_FALSE(in.next(got)); // stays at the end
  }
  std::string_view line;
  LineReader missing(testing::TempDir() + "no-such-file");
  EXPECT_FALSE(missing.next(line));
  LineReader directory(testing::TempDir());
  EXPECT_FALSE(directory.next(line));
  EXPECT_FALSE(directory.skip(1));
  // Neither a pipe nobody writes to (the open would wait) nor an endless device is read.
  const std::string fifo = testing::TempDir() + "linereader-fifo-" + std::to_string(getpid());
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  LineReader pipe(fifo);
  EXPECT_FALSE(pipe.next(line));
  ::unlink(fifo.c_str());
  LineReader zero("/dev/zero");
  EXPECT_FALSE(zero.next(line));
}
