#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/model/say.h"

namespace {
std::string text(const vl::Say& say) { return say.str(); }
} // namespace

TEST(Say, NumbersTextsAndPercent)
{
  EXPECT_EQ(text(vl::Say("File type = %n \n") << 9), "File type = 9 \n");
  EXPECT_EQ(text((vl::Say("%s %n %n %n\n") << std::string("O1") << 0.52917721067 << -0.52917721067 << 90.0)), "O1 0.529177 -0.529177 90.000000\n");
  EXPECT_EQ(text(vl::Say("%n") << 1e-7), "0.000000");
  EXPECT_EQ(text(vl::Say("%.3n") << 2.0 / 3.0), "0.667");
  EXPECT_EQ(text(vl::Say("%.3n") << 7), "7.000");
  EXPECT_EQ(text(vl::Say("100%% %s") << "done"), "100% done");
}

TEST(Say, SpecialValuesAndArgumentMismatch)
{
  EXPECT_EQ(text(vl::Say("%n") << std::nan("")), "#NAN");
  EXPECT_EQ(text(vl::Say("%n %n") << std::numeric_limits<double>::infinity() << -std::numeric_limits<double>::infinity()), "+#INF -#INF");
  EXPECT_EQ(text(vl::Say("a=%n b=%n")), "a=<missing> b=<missing>");
  EXPECT_EQ(text(vl::Say("a=%n") << 1 << 2), "a=1 <extra: 2>");
  EXPECT_EQ(text(vl::Say("50% off")), "50% off");
}
