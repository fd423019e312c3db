#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/model/elements.h"
#include "core/model/elements.h"

namespace {

vl::fvec4 rgb(unsigned hex)
{
  return vl::fvec4(static_cast<float>((hex >> 16) & 0xFF) / 255.0f, static_cast<float>((hex >> 8) & 0xFF) / 255.0f,
                   static_cast<float>(hex & 0xFF) / 255.0f, 1.0f);
}

std::string name2(int n)
{
  char buf[4] = {'#', '#', 'q', '\0'};
  BaseSetAtName(n, &buf[0], &buf[1]);
  EXPECT_EQ(buf[2], 'q') << "two bytes only, for " << n;
  return std::string(buf, 2);
}

} // namespace

TEST(AtomType, SymbolsWithSurroundingWhitespace)
{
  EXPECT_EQ(vl::atomType("H "), vl::AT_Hydrogen);
  EXPECT_EQ(vl::atomType("  Cl"), vl::AT_Chlorine);
  EXPECT_EQ(vl::atomType(" \t\r\nFe \t\r\n"), vl::AT_Iron);
  EXPECT_EQ(vl::atomType("Co"), vl::AT_Cobalt);
  EXPECT_EQ(vl::atomType("Rg"), vl::AT_Roentgenium);
  EXPECT_EQ(vl::atomType("Og"), vl::AT_Oganesson);
  // The string_view's length counts, not a terminating NUL.
  EXPECT_EQ(vl::atomType(std::string_view("Clx", 2)), vl::AT_Chlorine);
  EXPECT_EQ(vl::atomType(std::string_view("Clx", 1)), vl::AT_Carbon);

  for (const char* s : {"X", "", " ", "\t\r\n", "CL", "cl", "c", "Q", "J", "Cobalt", "Uuo", "Xx", "C l", "C1", "1",
                        "Hee", "\vC", "C\f", "D", "T", "\xC3\x9C", "C\xFF"})
    EXPECT_EQ(vl::atomType(s), vl::AT_Unknown) << '"' << s << '"';
  EXPECT_EQ(vl::atomType(std::string_view("C\0", 2)), vl::AT_Unknown);
}

TEST(AtomType, EverySymbolRoundTripsAndOnlyInItsOwnCase)
{
  for (int t = 0; t < vl::AT_Unknown; ++t) {
    const auto type = static_cast<vl::EAtomType>(t);
    const vl::AtomInfo& info = vl::atomInfo(type);
    EXPECT_EQ(info.mAtomicNumber, t + 1); // records in atomic-number order
    const std::string symbol = info.mSymbol;
    ASSERT_FALSE(symbol.empty());
    EXPECT_EQ(vl::atomType(" " + symbol + "\r\n"), type) << symbol;
    std::string upper = symbol, lower = symbol;
    for (auto& ch : upper)
      ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (auto& ch : lower)
      ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (symbol.size() == 2)
      EXPECT_EQ(vl::atomType(upper), vl::AT_Unknown) << upper;
    EXPECT_EQ(vl::atomType(lower), vl::AT_Unknown) << lower;
  }
}

TEST(AtomInfo, UnknownOutOfRangeAndSpotValues)
{
  const vl::AtomInfo& u = vl::atomInfo(vl::AT_Unknown);
  EXPECT_EQ(u.mAtomicNumber, -1);
  EXPECT_STREQ(u.mSymbol, "");
  EXPECT_EQ(u.mCPKColor, rgb(0xFA1691));
  EXPECT_EQ(u.mVanDerWaalsRadius, 1.5f);
  EXPECT_EQ(u.mCovalentRadius, 0.5);
  for (int t = vl::AT_Unknown; t < 128; ++t) // values the enum can hold beyond AT_Unknown
    EXPECT_EQ(&vl::atomInfo(static_cast<vl::EAtomType>(t)), &u) << t;

  EXPECT_EQ(vl::atomInfo(vl::AT_Oxygen).mCPKColor, rgb(0xFF0D0D));
  EXPECT_EQ(vl::atomInfo(vl::AT_Oganesson).mCPKColor, rgb(0xF00024));
  EXPECT_EQ(vl::atomInfo(vl::AT_Caesium).mVanDerWaalsRadius, 3.00f);
  EXPECT_EQ(vl::atomInfo(vl::AT_Oganesson).vanDerWaalsRadius(), 2.00f);
}

TEST(BaseSetAtName, NamesBlanksAndOutOfRange)
{
  const struct {
    int n;
    const char* name;
  } cases[] = {{1, "H "},   {6, "C "},   {17, "Cl"},  {92, "U "},     {103, "Lr"},     {0, "X "},
               {-1, "X "},  {-2, "??"},  {104, "??"}, {118, "??"},    {-1000000, "??"}, {1000000, "??"}};
  for (const auto& c : cases)
    EXPECT_EQ(name2(c.n), c.name) << c.n;
  // Every element up to 103: its symbol, one-letter ones padded with a blank.
  for (int n = 1; n <= 103; ++n) {
    std::string symbol = vl::atomInfo(static_cast<vl::EAtomType>(n - 1)).mSymbol;
    EXPECT_EQ(name2(n), symbol.size() == 1 ? symbol + " " : symbol);
  }
}

TEST(BaseQueryAtomRadiusVal, TableUpTo111ThenDefault)
{
  const struct {
    int z;
    double r;
  } cases[] = {{1, 0.32},  {6, 0.75}, {8, 0.63}, {55, 2.32}, {103, 1.61}, {111, 1.21},
               {112, 0.5}, {118, 0.5}, {0, 0.5},  {-1, 0.5},  {-5, 0.5},   {1000, 0.5}};
  for (const auto& c : cases)
    EXPECT_EQ(BaseQueryAtomRadiusVal(c.z), c.r) << c.z;
  for (int z = 1; z <= 118; ++z)
    EXPECT_LE(BaseQueryAtomRadiusVal(z), 2.32) << z; // caesium is the largest
}
