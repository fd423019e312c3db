// The XYZ/TRJ reader, through its table entry.
#include "qcout_testutil.h"

using namespace qctest;

namespace {
const std::string kWater = "3|water|O 0.000 0.000 0.117|H 0.000 0.757 -0.469|H 0.000 -0.757 -0.469", kW = "O1,H2,H3";
const std::string kCH4 = "C 0 0 0|H 0 0 1.09|H 1.03 0 -0.36|H -0.51 0.89 -0.36|H -0.51 -0.89 -0.36";
const std::vector<Coord> kWaterCoords = {{0, 1, 1, 0.757f}, {0, 2, 1, -0.757f}, {0, 2, 2, -0.469f}};

std::string Frames(int n)
{
  std::string text;
  for (int f = 0; f < n; ++f)
    text += Lines("3|frame|O 0.0 0.0 " + std::to_string(0.1 * f) + "|H 0.0 0.757 -0.469|H 0.0 -0.757 -0.469");
  return text;
}
} // namespace

TEST(XyzReader, LayoutsReturnValuesStructuresAndLog)
{
  const std::string invalid = "Number of atoms is expected here!\n", frames3 = Frames(3), water = Lines(kWater);
  // clang-format off
  CheckAll({
      // Finished structures, bonds too. CR-LF line ends, extra columns, a count with a trailing word, lower-case
      // symbols, trailing blank lines, no final line break: all the same water.
      {"water", FT_Xyz, water, 0, kW, "O,H,H", "", kWaterCoords, 2},
      {"CRLF", FT_Xyz, Lines(kWater, "\r\n") + "\r\n", 0, kW, "", "", kWaterCoords},
      {"layout", FT_Xyz, Lines(" 3 atoms|c|o 0.000 0.000 0.117 -0.8 1e-3|h 0 0.757 -0.469 0.4|H 0.000 -0.757 -0.469"),
       0, kW, "O,H,H", "", kWaterCoords},
      {"trailing blanks", FT_Xyz, water + "\n   \n\t\n", 0, kW, "", "", kWaterCoords},
      {"no final line break", FT_Xyz, water.substr(0, water.size() - 1), 0, kW, "", "", kWaterCoords},
      {"symbol case", FT_Xyz, Lines("4||cl 0 0 0|CL 3 0 0|Cl 6 0 0|cL 9 0 0"), 0, "Cl1,Cl2,Cl3,Cl4", "Cl,Cl,Cl,Cl", ""},
      // An accepted symbol without numbers still makes an atom, at the origin.
      {"bare symbol", FT_Xyz, Lines("1|c|He"), 0, "He1", "", "", {{0, 0, 0, 0.0f}, {0, 0, 2, 0.0f}}},
      // Lines without a symbol are logged verbatim (format characters, CR and all) and not counted.
      {"ignored lines", FT_Xyz, Lines("2|c|O 0 0 0|8 0.0 0.0 1.0||Xx 1 1 1|%s 100% %n|H 0 0 0.96"), 0, "O1,H2", "",
       "Line '8 0.0 0.0 1.0' ignored!\nLine '' ignored!\nLine 'Xx 1 1 1' ignored!\nLine '%s 100% %n' ignored!\n"},
      {"CR kept in the log", FT_Xyz, "1\r\nc\r\n?? 1 2 3\r\nN 0 0 0\r\n", 0, "N1", "", "Line '?? 1 2 3\r' ignored!\n"},
      // A frame one atom short swallows the next count and comment and the first atom of frame 2; the next
      // atom line stands where a count belongs.
      {"short frame", FT_Xyz, Lines("4|f1|O 0 0 0|H 0 0 1|H 0 1 0|3|f2|O 5 5 5|H 5 5 6|H 5 6 5"), 0, "O1,H2,H3,O4", "",
       "Line '3' ignored!\nLine 'f2' ignored!\nLine 'H 5 5 6' is invalid\n" + invalid},
      {"count no integer", FT_Xyz, Lines(kWater + "|three|c|O"), 0, kW, "", "Line 'three' is invalid\n" + invalid},
      {"count beyond int", FT_Xyz, Lines("99999999999|c|O"), -1, "", "", "Line '99999999999' is invalid\n" + invalid},
      // Frames: the atom index restarts per frame; a blank line between them is no end.
      {"frames", FT_Xyz, frames3, 0, kW + "|" + kW + "|" + kW, "", "", {{1, 0, 2, 0.1f}, {2, 0, 2, 0.2f}}},
      {"blank line between frames", FT_Xyz, Frames(2) + "\n" + Frames(1), 0, kW + "|" + kW, "", ""},
      {"last frame short", FT_Xyz, frames3.substr(0, frames3.rfind("H 0.0")), -2, kW + "|" + kW, "", ""},
      {"largest int count", FT_Xyz, Lines("2147483647|c|O 0 0 0|H 0 0 1"), -2, "", "", ""},
      {"no comment line", FT_Xyz, Lines(kWater + "|3"), -3, kW, "", ""},
      {"count 0", FT_Xyz, Lines("0|c|O 0 0 0"), -4, "", "", ""},
      {"negative count later", FT_Xyz, Lines(kWater + "|-2|c"), -4, kW, "", ""},
      {"smallest int count", FT_Xyz, Lines("-2147483648|c"), -4, "", "", ""},
      {"empty", FT_Xyz, "", -1, "", "", ""},
      {"blank first line", FT_Xyz, "\n\nO 0 0 0\n", -1, "", "", ""},
      // Without header everything is one structure: count lines and blanks are ignored lines.
      {"headerless", FT_XyzNoHeader, Lines(kCH4 + "|5|C 5 5 5|"), 0, "C1,H2,H3,H4,H5,C6", "",
       "Line '5' ignored!\nLine '' ignored!\n"},
      {"headerless, no atom", FT_XyzNoHeader, "Q 0 0 0\n", -1, "", "", "Line 'Q 0 0 0' ignored!\n"},
  });
  // clang-format on
  EXPECT_EQ(ReadText(FT_Xyz, Lines(kCH4), FT_Unknown).list.size(), 1u); // any code but 9 is headerless
  EXPECT_EQ(ReadText(FT_Xyz, "", -1, testing::TempDir()).rc, -1);       // a directory reads as empty
  const Result r = ReadText(FT_Xyz, water);
  EXPECT_EQ(r.list[0]->atom(0)->adjacentAtomCount(), 2);
  EXPECT_EQ(r.list[0]->atom(0)->color(), vl::atomInfo(vl::AT_Oxygen).cpkColor());
}

TEST(XyzReader, AtomsPiledOnOnePointGetNoBondsAndOneLogLine)
{
  // 20,000 atoms on one point would need 200 million bonds: none, and one log line; two still get theirs.
  for (const auto& [atoms, bonds, overlap] : std::vector<std::tuple<int, int, bool>>{{20000, 0, true}, {2, 1, false}}) {
    std::string text = std::to_string(atoms) + "\npile\n";
    for (int i = 0; i < atoms; ++i)
      text += "O 1.5 -2.0 0.25\n";
    const Result r = ReadText(FT_Xyz, text);
    ASSERT_EQ(r.list.size(), 1u);
    EXPECT_EQ(r.list[0]->atoms(), atoms);
    EXPECT_EQ(r.list[0]->bonds(), bonds);
    EXPECT_EQ(r.log.rfind("atoms overlap: ", 0) == 0 && r.log.find('\n') == r.log.size() - 1, overlap) << r.log;
  }
}
