#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>

#include "core/model/elements.h"
#include "core/model/say.h"

TEST(Elements, SymbolLookupRecordsNamesAndRadii)
{
  // Surrounding blanks are ignored; the string_view's length counts, not a terminating NUL.
  const std::pair<const char*, int> cases[] = {{"H ", 1},  {"  Cl", 17}, {" \t\r\nFe \t\r\n", 26},
                                               {"Co", 27}, {"Rg", 111},  {"Og", 118}};
  for (const auto& [text, z] : cases)
    EXPECT_EQ(vl::atomInfo(vl::atomType(text)).mAtomicNumber, z) << '"' << text << '"';
  EXPECT_EQ(vl::atomType(std::string_view("Clx", 2)), vl::AT_Chlorine);
  EXPECT_EQ(vl::atomType(std::string_view("Clx", 1)), vl::AT_Carbon);
  EXPECT_EQ(vl::atomType(std::string_view("C\0", 2)), vl::AT_Unknown);
  for (const char* s : {"X",  "",    " ",  "\t\r\n", "CL",  "cl",  "c",   "Q", "J", "Cobalt",   "Uuo",
                        "Xx", "C l", "C1", "1",      "Hee", "\vC", "C\f", "D", "T", "\xC3\x9C", "C\xFF"})
    EXPECT_EQ(vl::atomType(s), vl::AT_Unknown) << '"' << s << '"';
  // Every element's own symbol, padded, round-trips; no other letter case does.
  for (int t = 0; t < vl::AT_Unknown; ++t) {
    const auto type = static_cast<vl::EAtomType>(t);
    const std::string symbol = vl::atomInfo(type).mSymbol;
    EXPECT_EQ(vl::atomType(" " + symbol + "\r\n"), type) << symbol;
    std::string lower = symbol, upper = symbol;
    lower[0] = static_cast<char>(symbol[0] - 'A' + 'a');
    upper.back() = static_cast<char>(std::toupper(symbol.back()));
    EXPECT_EQ(vl::atomType(lower), vl::AT_Unknown) << lower;
    EXPECT_EQ(vl::atomType(upper), symbol.size() == 1 ? type : vl::AT_Unknown) << upper;
  }
  // Out-of-range types give the unknown record.
  const vl::AtomInfo& unknown = vl::atomInfo(vl::AT_Unknown);
  EXPECT_TRUE(unknown.mAtomicNumber == -1 && *unknown.mSymbol == '\0');
  for (int t = vl::AT_Unknown; t < 128; ++t) // values the enum can hold beyond AT_Unknown
    EXPECT_EQ(&vl::atomInfo(static_cast<vl::EAtomType>(t)), &unknown) << t;
  auto name = [](int n) {
    char buf[3] = {'#', '#', 'q'};
    BaseSetAtName(n, &buf[0], &buf[1]);
    EXPECT_EQ(buf[2], 'q') << "two bytes only, for " << n;
    return std::string(buf, 2);
  };
  const std::pair<int, const char*> names[] = {{0, "X "},   {-1, "X "},       {-2, "??"},     {104, "??"},
                                               {118, "??"}, {-1000000, "??"}, {1000000, "??"}};
  for (const auto& [n, want] : names)
    EXPECT_EQ(name(n), want) << n;
  for (int n = 1; n <= 103; ++n) // the symbol, one-letter ones padded with a blank
    EXPECT_EQ(name(n), (vl::atomInfo(static_cast<vl::EAtomType>(n - 1)).mSymbol + std::string(" ")).substr(0, 2));
  // Covalent radius: tabulated up to Z 111, then the 0.5 default.
  const std::pair<int, double> radii[] = {{111, 1.21}, {112, 0.5}, {0, 0.5}, {-1, 0.5}, {1000, 0.5}};
  for (const auto& [z, r] : radii)
    EXPECT_EQ(BaseQueryAtomRadiusVal(z), r) << z;
}

TEST(Say, Formatting)
{
  EXPECT_EQ((vl::Say("File type = %n \n") << 9).str(), "File type = 9 \n");
  EXPECT_EQ((vl::Say("%s %n %n %n\n") << "O1" << 0.52917721067 << -0.52917721067 << 90.0).str(),
            "O1 0.529177 -0.529177 90.000000\n");
  EXPECT_EQ((vl::Say("%n %.3n %.3n") << 1e-7 << 2.0 / 3.0 << 7).str(), "0.000000 0.667 7.000");
  EXPECT_EQ((vl::Say("100%% %s") << std::string("done")).str(), "100% done");
  EXPECT_EQ((vl::Say("%n %n %n") << std::nan("") << HUGE_VAL << -HUGE_VAL).str(), "#NAN +#INF -#INF");
  // A placeholder without an argument, an argument without a placeholder, a lone percent sign.
  EXPECT_EQ(vl::Say("a=%n b=%n").str(), "a=<missing> b=<missing>");
  EXPECT_EQ((vl::Say("a=%n") << 1 << 2).str(), "a=1 <extra: 2>");
  EXPECT_EQ(vl::Say("50% off").str(), "50% off");
}
