#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "chemistry/elements.h"
#include "vl/atominfo.h"

namespace {

vl::fvec4 rgb(unsigned hex)
{
  return vl::fvec4(static_cast<float>((hex >> 16) & 0xFF) / 255.0f, static_cast<float>((hex >> 8) & 0xFF) / 255.0f,
                   static_cast<float>(hex & 0xFF) / 255.0f, 1.0f);
}

std::string name2(int n)
{
  char buf[3] = {'#', '#', '\0'};
  BaseSetAtName(n, &buf[0], &buf[1]);
  return std::string(buf, 2);
}

} // namespace

TEST(AtomType, SymbolsWithSurroundingWhitespace)
{
  EXPECT_EQ(vl::atomType("H"), vl::AT_Hydrogen);
  EXPECT_EQ(vl::atomType("H "), vl::AT_Hydrogen);
  EXPECT_EQ(vl::atomType("Cl "), vl::AT_Chlorine);
  EXPECT_EQ(vl::atomType("  Cl"), vl::AT_Chlorine);
  EXPECT_EQ(vl::atomType("\tO\r\n"), vl::AT_Oxygen);
  EXPECT_EQ(vl::atomType(" \t\r\nFe \t\r\n"), vl::AT_Iron);
  EXPECT_EQ(vl::atomType("C"), vl::AT_Carbon);
  EXPECT_EQ(vl::atomType("Co"), vl::AT_Cobalt);
  EXPECT_EQ(vl::atomType("Og"), vl::AT_Oganesson);
  EXPECT_EQ(vl::atomType("Cn"), vl::AT_Copernicium);
  EXPECT_EQ(vl::atomType("Nh"), vl::AT_Nihonium);
  EXPECT_EQ(vl::atomType("Ts"), vl::AT_Tennessine);
  EXPECT_EQ(vl::atomType("Rg"), vl::AT_Roentgenium);
}

TEST(AtomType, EverythingElseIsUnknown)
{
  for (const char* s : {"X", "", " ", "\t\r\n", "CL", "cl", "c", "h", "Q", "J", "Cobalt", "Uuo", "Uub", "Xx", "C l",
                        "C1", "1", "Cl1", "Hee", "HE", "\vC", "C\f", "Ab", "Zz", "D", "T", "Ee"})
    EXPECT_EQ(vl::atomType(s), vl::AT_Unknown) << '"' << s << '"';
  // Embedded NUL and bytes outside ASCII.
  EXPECT_EQ(vl::atomType(std::string_view("C\0", 2)), vl::AT_Unknown);
  EXPECT_EQ(vl::atomType("\xC3\x9C"), vl::AT_Unknown);
  EXPECT_EQ(vl::atomType("C\xFF"), vl::AT_Unknown);
  // The string_view's length counts, not a terminating NUL.
  EXPECT_EQ(vl::atomType(std::string_view("Clx", 2)), vl::AT_Chlorine);
  EXPECT_EQ(vl::atomType(std::string_view("Clx", 1)), vl::AT_Carbon);
}

TEST(AtomType, EverySymbolRoundTrips)
{
  for (int t = 0; t < vl::AT_Unknown; ++t) {
    const auto type = static_cast<vl::EAtomType>(t);
    const std::string symbol = vl::atomInfo(type).mSymbol;
    ASSERT_FALSE(symbol.empty());
    EXPECT_EQ(vl::atomType(symbol), type) << symbol;
    EXPECT_EQ(vl::atomType(" " + symbol + "\r\n"), type) << symbol;
    std::string upper = symbol, lower = symbol;
    for (auto& ch : upper)
      ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (auto& ch : lower)
      ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (symbol.size() == 2) {
      EXPECT_EQ(vl::atomType(upper), vl::AT_Unknown) << upper;
    }
    EXPECT_EQ(vl::atomType(lower), vl::AT_Unknown) << lower;
  }
}

TEST(AtomInfo, RecordsAreOrderedAndComplete)
{
  for (int t = 0; t < vl::AT_Unknown; ++t) {
    const vl::AtomInfo& info = vl::atomInfo(static_cast<vl::EAtomType>(t));
    EXPECT_EQ(info.mAtomicNumber, t + 1);
    EXPECT_EQ(info.atomicNumber(), t + 1);
    EXPECT_GT(std::strlen(info.mName), 2u);
    EXPECT_EQ(info.mCPKColor.a, 1.0f);
    EXPECT_GT(info.mVanDerWaalsRadius, 1.0f);
    EXPECT_GT(info.mCovalentRadius, 0.3);
  }
}

TEST(AtomInfo, UnknownAndOutOfRange)
{
  const vl::AtomInfo& u = vl::atomInfo(vl::AT_Unknown);
  EXPECT_EQ(u.mAtomicNumber, -1);
  EXPECT_STREQ(u.mSymbol, "");
  EXPECT_EQ(u.mCPKColor, rgb(0xFA1691));
  EXPECT_EQ(u.mVanDerWaalsRadius, 1.5f);
  EXPECT_EQ(u.mCovalentRadius, 0.5);
  // Values the enum can hold beyond AT_Unknown.
  for (int t = vl::AT_Unknown; t < 128; ++t)
    EXPECT_EQ(&vl::atomInfo(static_cast<vl::EAtomType>(t)), &u) << t;
}

TEST(AtomInfo, ColoursAndRadii)
{
  EXPECT_EQ(vl::atomInfo(vl::AT_Hydrogen).mCPKColor, vl::fvec4(1.0f, 1.0f, 1.0f, 1.0f));
  EXPECT_EQ(vl::atomInfo(vl::AT_Carbon).mCPKColor, rgb(0x909090));
  EXPECT_EQ(vl::atomInfo(vl::AT_Nitrogen).mCPKColor, rgb(0x3050F8));
  EXPECT_EQ(vl::atomInfo(vl::AT_Oxygen).mCPKColor, rgb(0xFF0D0D));
  EXPECT_EQ(vl::atomInfo(vl::AT_Chlorine).mCPKColor, rgb(0x1FF01F));
  EXPECT_EQ(vl::atomInfo(vl::AT_Iron).mCPKColor, rgb(0xE06633));
  EXPECT_EQ(vl::atomInfo(vl::AT_Gold).mCPKColor, rgb(0xFFD123));
  EXPECT_EQ(vl::atomInfo(vl::AT_Oganesson).mCPKColor, rgb(0xF00024));
  EXPECT_FLOAT_EQ(vl::atomInfo(vl::AT_Oxygen).mCPKColor.g, 13.0f / 255.0f);

  EXPECT_EQ(vl::atomInfo(vl::AT_Hydrogen).mVanDerWaalsRadius, 1.20f);
  EXPECT_EQ(vl::atomInfo(vl::AT_Carbon).mVanDerWaalsRadius, 1.70f);
  EXPECT_EQ(vl::atomInfo(vl::AT_Oxygen).mVanDerWaalsRadius, 1.52f);
  EXPECT_EQ(vl::atomInfo(vl::AT_Caesium).mVanDerWaalsRadius, 3.00f);
  EXPECT_EQ(vl::atomInfo(vl::AT_Uranium).mVanDerWaalsRadius, 1.86f);
  EXPECT_EQ(vl::atomInfo(vl::AT_Oganesson).vanDerWaalsRadius(), 2.00f);

  EXPECT_EQ(vl::atomInfo(vl::AT_Hydrogen).mCovalentRadius, 0.32);
  EXPECT_EQ(vl::atomInfo(vl::AT_Carbon).covalentRadius(), 0.75);
  EXPECT_EQ(vl::atomInfo(vl::AT_Roentgenium).mCovalentRadius, 1.21);
  EXPECT_EQ(vl::atomInfo(vl::AT_Copernicium).mCovalentRadius, 0.5);
  EXPECT_EQ(vl::atomInfo(vl::AT_Oganesson).mCovalentRadius, 0.5);

  EXPECT_STREQ(vl::atomInfo(vl::AT_Carbon).mName, "Carbon");
  EXPECT_STREQ(vl::atomInfo(vl::AT_Carbon).symbol(), "C");
  EXPECT_STREQ(vl::atomInfo(vl::AT_Unknown).mName, "Unknown");
}

TEST(BaseSetAtName, EdgeCases)
{
  EXPECT_EQ(name2(6), "C ");
  EXPECT_EQ(name2(17), "Cl");
  EXPECT_EQ(name2(103), "Lr");
  EXPECT_EQ(name2(1), "H ");
  EXPECT_EQ(name2(92), "U ");
  EXPECT_EQ(name2(0), "X ");
  EXPECT_EQ(name2(-1), "X ");
  EXPECT_EQ(name2(-2), "??");
  EXPECT_EQ(name2(104), "??");
  EXPECT_EQ(name2(111), "??");
  EXPECT_EQ(name2(118), "??");
  EXPECT_EQ(name2(-1000000), "??");
  EXPECT_EQ(name2(1000000), "??");
}

TEST(BaseSetAtName, WritesTwoBytesOnly)
{
  for (int n : {-2, -1, 0, 1, 6, 17, 103, 104}) {
    char buf[4] = {'a', 'b', '\0', 'z'};
    BaseSetAtName(n, &buf[0], &buf[1]);
    EXPECT_EQ(buf[2], '\0') << n;
    EXPECT_EQ(buf[3], 'z') << n;
    char sentinel[4] = {'a', 'b', 'q', 'z'};
    BaseSetAtName(n, &sentinel[0], &sentinel[1]);
    EXPECT_EQ(sentinel[2], 'q') << n;
  }
}

TEST(BaseSetAtName, OneLetterSymbolsGetABlank)
{
  const std::string oneLetter = "HBCNOFPSKVYIWU";
  int count = 0;
  for (int n = 1; n <= 103; ++n) {
    const std::string s = name2(n);
    const std::string symbol = vl::atomInfo(static_cast<vl::EAtomType>(n - 1)).mSymbol;
    if (symbol.size() == 1) {
      ++count;
      EXPECT_NE(oneLetter.find(symbol[0]), std::string::npos) << symbol;
      EXPECT_EQ(s, symbol + " ");
    } else {
      EXPECT_EQ(s, symbol);
    }
  }
  EXPECT_EQ(count, 14);
}

TEST(BaseQueryAtomRadiusVal, EdgeCases)
{
  EXPECT_EQ(BaseQueryAtomRadiusVal(1), 0.32);
  EXPECT_EQ(BaseQueryAtomRadiusVal(6), 0.75);
  EXPECT_EQ(BaseQueryAtomRadiusVal(55), 2.32);
  EXPECT_EQ(BaseQueryAtomRadiusVal(111), 1.21);
  EXPECT_EQ(BaseQueryAtomRadiusVal(0), 0.5);
  EXPECT_EQ(BaseQueryAtomRadiusVal(-5), 0.5);
  EXPECT_EQ(BaseQueryAtomRadiusVal(-1), 0.5);
  EXPECT_EQ(BaseQueryAtomRadiusVal(112), 0.5);
  EXPECT_EQ(BaseQueryAtomRadiusVal(118), 0.5);
  EXPECT_EQ(BaseQueryAtomRadiusVal(1000), 0.5);
}

TEST(BaseQueryAtomRadiusVal, TableSpotChecksAndLargest)
{
  const struct {
    int z;
    double r;
  } spot[] = {{2, 0.46},  {7, 0.71},  {8, 0.63},  {9, 0.64},  {16, 1.03}, {17, 0.99},  {26, 1.16},  {35, 1.14},
              {53, 1.33}, {56, 1.96}, {57, 1.80}, {79, 1.24}, {87, 2.23}, {103, 1.61}, {104, 1.57}, {110, 1.28}};
  for (const auto& e : spot)
    EXPECT_EQ(BaseQueryAtomRadiusVal(e.z), e.r) << e.z;
  for (int z = 1; z <= 118; ++z) {
    EXPECT_LE(BaseQueryAtomRadiusVal(z), 2.32) << z; // caesium is the largest
    EXPECT_EQ(BaseQueryAtomRadiusVal(z), vl::atomInfo(static_cast<vl::EAtomType>(z - 1)).mCovalentRadius) << z;
  }
}
