// Display styles, highlight, hydrogen setting and the overlay line, driven
// through MolApplet without a window.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/molapp.h"
#include "test_renderer_gl.h"
#include "view/scenemanager.h"
#include "view/text.h"

extern const float at_rad[119];

namespace {

const vl::fvec4 kHighlight(0.45f, 1.0f, 1.0f, 1.0f);

// Water twice: the second frame shifted along x.
const char* kWaterTwoFrames = "3\nframe 1\n"
                              "O 0.000 0.000 0.117\nH 0.000 0.757 -0.467\nH 0.000 -0.757 -0.467\n"
                              "3\nframe 2\n"
                              "O 5.000 0.000 0.117\nH 5.000 0.757 -0.467\nH 5.000 -0.757 -0.467\n";

class DisplayTest : public ::testing::Test {
protected:
  void SetUp() override { app.initialize(); }

  // Loads the text as an XYZ file; the last frame becomes current.
  void load(const std::string& xyz)
  {
    const std::string path = testing::TempDir() + "orbisk-display-" + std::to_string(getpid()) + ".xyz";
    std::ofstream(path) << xyz;
    app.loadFile(path);
    std::remove(path.c_str());
    ASSERT_FALSE(app.molecules().empty()) << "the XYZ reader found nothing";
  }
  vl::Molecule& current() { return *app.molecules()[static_cast<size_t>(app.currentMolecule())]; }
  void key(vl::EKey k) { app.keyPressEvent(0, k); }
  // Steps the style up until it is the one wanted.
  void style(int s)
  {
    for (int i = 0; i < 4 && app.currentStyle() != s; ++i)
      key(vl::Key_Up);
    ASSERT_EQ(app.currentStyle(), s);
  }

  MolApplet app;
};

TEST(BallRadiusTable, NoElementWithoutABall)
{
  EXPECT_EQ(at_rad[0], 0.0f);
  for (int z = 1; z <= 118; ++z)
    EXPECT_GT(at_rad[z], 0.1f) << "Z = " << z;
}

TEST_F(DisplayTest, BallAndStickRadiiFromTableAndBondRule)
{
  load("5\nmethanol and a peroxide oxygen\nC 0 0 0\nO 1.43 0 0\nH -0.5 0.9 0\nH 1.8 0.8 0\nO 2.8 0 0\n");
  vl::Molecule& m = current();
  EXPECT_EQ(m.moleculeStyle(), vl::MS_BallAndStick);
  EXPECT_EQ(m.atom(0)->radius(), 0.26f);
  EXPECT_EQ(m.atom(1)->radius(), 0.30f);
  EXPECT_EQ(m.atom(2)->radius(), 0.15f);
  // The bond radius follows the smaller ball: H 0.0795, C 0.126, O 0.141.
  auto bondRadius = [&](int i, int j) { return m.bond(m.atom(i), m.atom(j))->radius(); };
  ASSERT_NE(m.bond(m.atom(1), m.atom(4)), nullptr);
  EXPECT_NEAR(bondRadius(0, 2), 0.0795349, 5e-8);
  EXPECT_NEAR(bondRadius(0, 1), 0.126088, 5e-7);
  EXPECT_NEAR(bondRadius(1, 4), 0.140870, 5e-7);
}

TEST_F(DisplayTest, EachStyleSetsItsOwnRowAndRadiiAreRecomputed)
{
  load(kWaterTwoFrames);
  vl::Molecule& m = current();
  vl::Atom* o = m.atom(0);
  vl::Atom* h = m.atom(1);
  ASSERT_GE(m.bonds(), 1);
  const float ballBond = m.bond(0)->radius();
  EXPECT_NEAR(ballBond, 0.0795349, 5e-8);

  style(2);
  EXPECT_EQ(m.moleculeStyle(), vl::MS_Sticks);
  EXPECT_EQ(m.bond(0)->radius(), 0.1f);

  style(3);
  EXPECT_EQ(m.moleculeStyle(), vl::MS_AtomsOnly);
  EXPECT_EQ(o->radius(), 1.52f);
  EXPECT_EQ(h->radius(), 1.20f);
  EXPECT_EQ(m.bond(0)->radius(), 0.1f) << "space-filling leaves bond radii alone";
  // What is drawn follows: the oxygen ball reaches its van der Waals radius.
  vl::fvec3 lo, hi;
  ASSERT_TRUE(app.sceneManager()->bounds(lo, hi));
  EXPECT_FLOAT_EQ(lo.x, 5.0f - 1.52f);

  style(0);
  EXPECT_EQ(m.moleculeStyle(), vl::MS_Wireframe);
  EXPECT_EQ(m.lineWidth(), 2.0f);
  EXPECT_TRUE(m.smoothLines());

  // Back to ball-and-stick, twice round: the radii of the first time again.
  for (int round = 0; round < 2; ++round) {
    style(1);
    EXPECT_EQ(m.moleculeStyle(), vl::MS_BallAndStick);
    EXPECT_EQ(o->radius(), 0.30f);
    EXPECT_EQ(h->radius(), 0.15f);
    EXPECT_EQ(m.bond(0)->radius(), ballBond);
    style(2);
    style(3);
    style(0);
  }
}

TEST_F(DisplayTest, PickedAtomsAreHighlightedUntilTheSelectionClears)
{
  load(kWaterTwoFrames);
  vl::Molecule& m = current();
  app.selectAtom(m.atom(0));
  app.selectAtom(m.atom(1));
  for (int s : {2, 3, 0, 1}) {
    style(s);
    EXPECT_EQ(m.atom(0)->color(), kHighlight) << "style " << s;
    EXPECT_EQ(m.atom(1)->color(), kHighlight) << "style " << s;
    EXPECT_EQ(m.atom(2)->color(), vl::atomInfo(vl::AT_Hydrogen).cpkColor()) << "style " << s;
  }
  app.clearSelection();
  app.updateMolecule();
  EXPECT_EQ(m.atom(0)->color(), vl::atomInfo(vl::AT_Oxygen).cpkColor());
  EXPECT_EQ(m.atom(1)->color(), vl::atomInfo(vl::AT_Hydrogen).cpkColor());
}

TEST_F(DisplayTest, HiddenHydrogensStayHiddenInEveryStyleAndStructure)
{
  load(kWaterTwoFrames);
  app.setShowHydrogens(false);
  for (int s : {2, 3, 0, 1}) {
    style(s);
    vl::Molecule& m = current();
    EXPECT_TRUE(m.atom(0)->visible());
    EXPECT_FALSE(m.atom(1)->visible()) << "style " << s;
    EXPECT_FALSE(m.atom(2)->visible()) << "style " << s;
  }
  // Ball-and-stick: only the oxygen ball is drawn.
  vl::fvec3 lo, hi;
  ASSERT_TRUE(app.sceneManager()->bounds(lo, hi));
  EXPECT_FLOAT_EQ(hi.y, 0.30f);

  key(vl::Key_Left);
  EXPECT_EQ(app.currentMolecule(), 0);
  EXPECT_FALSE(current().atom(1)->visible());
  app.setShowHydrogens(true);
  app.updateMolecule();
  EXPECT_TRUE(current().atom(1)->visible());
}

TEST_F(DisplayTest, SteppingReplacesTheDrawnStructure)
{
  vl::fvec3 lo, hi;
  app.updateMolecule(); // nothing loaded: nothing drawn
  app.updateText();
  EXPECT_FALSE(app.sceneManager()->bounds(lo, hi));
  load(kWaterTwoFrames);
  ASSERT_TRUE(app.sceneManager()->bounds(lo, hi));
  EXPECT_FLOAT_EQ(lo.x, 5.0f - 0.30f);
  key(vl::Key_Left);
  ASSERT_TRUE(app.sceneManager()->bounds(lo, hi));
  EXPECT_FLOAT_EQ(lo.x, -0.30f);
  EXPECT_FLOAT_EQ(hi.x, 0.30f) << "the first frame only";
}

TEST_F(DisplayTest, OverlayLineCountsStructures)
{
  // The overlay text joins the scene in initEvent, whose font needs the Qt
  // application.
  if (!QGuiApplication::instance() && !orbisk_test::GLEnvironment::instance().problem().empty())
    GTEST_SKIP() << "no Qt application: " << orbisk_test::GLEnvironment::instance().problem();
  app.initEvent();
  ASSERT_EQ(app.sceneManager()->texts().size(), 1u);
  const vl::Text& text = *app.sceneManager()->texts().front();

  load("3\nwater\nO 0 0 0.117\nH 0 0.757 -0.467\nH 0 -0.757 -0.467\n");
  const std::string tail = ": use the arrow keys to change molecule and style";
  EXPECT_EQ(text.text(), current().moleculeName() + " (1/1)" + tail);

  load(kWaterTwoFrames);
  EXPECT_EQ(text.text(), current().moleculeName() + " (3/3)" + tail);
  key(vl::Key_Left);
  EXPECT_EQ(text.text(), current().moleculeName() + " (2/3)" + tail);
  key(vl::Key_Up); // a style change leaves the line as it is
  EXPECT_EQ(text.text(), current().moleculeName() + " (2/3)" + tail);
  ASSERT_EQ(app.sceneManager()->texts().size(), 1u) << "the overlay stays in the scene";
}

} // namespace
