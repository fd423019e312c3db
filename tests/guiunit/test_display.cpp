// Display styles, highlight, hydrogen setting and the overlay line, driven through MolApplet without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/molapp.h"
#include "test_renderer_gl.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"

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
  // The x and y ranges of what is drawn.
  std::pair<vl::fvec3, vl::fvec3> bounds()
  {
    vl::fvec3 lo, hi;
    EXPECT_TRUE(app.sceneManager()->bounds(lo, hi));
    return {lo, hi};
  }

  MolApplet app;
};

TEST_F(DisplayTest, StylesRadiiHighlightAndHiddenHydrogens)
{
  load(kWaterTwoFrames);
  vl::Molecule& m = current();
  vl::Atom* o = m.atom(0);
  const float ball = o->radius(), bond = m.bond(0)->radius();
  EXPECT_NEAR(bond, 0.0795349, 5e-8); // follows the smaller ball, hydrogen's
  // (key, style, oxygen and bond radii; 0: as in ball-and-stick)
  const struct {
    vl::EKey key;
    vl::EMoleculeStyle style;
    float oxygen, bond;
  } steps[] = {{vl::Key_Up, vl::MS_Sticks, 0, 0.1f},        {vl::Key_Up, vl::MS_AtomsOnly, 1.52f, 0.1f},
               {vl::Key_Up, vl::MS_Wireframe, 1.52f, 0.1f}, {vl::Key_Up, vl::MS_BallAndStick, 0, 0},
               {vl::Key_Down, vl::MS_Wireframe, 0, 0},      {vl::Key_Down, vl::MS_AtomsOnly, 1.52f, 0},
               {vl::Key_Down, vl::MS_Sticks, 1.52f, 0.1f},  {vl::Key_Down, vl::MS_BallAndStick, 0, 0}};
  for (const auto& s : steps) {
    key(s.key);
    SCOPED_TRACE(testing::Message() << "style " << s.style);
    EXPECT_EQ(m.moleculeStyle(), s.style);
    EXPECT_EQ(o->radius(), s.oxygen ? s.oxygen : ball);
    EXPECT_EQ(m.bond(0)->radius(), s.bond ? s.bond : bond);
    // What is drawn follows: the oxygen ball (wireframe: the line ends).
    EXPECT_FLOAT_EQ(bounds().first.x, s.style == vl::MS_Wireframe ? 5.0f
                                      : s.style == vl::MS_Sticks  ? 5.0f - 0.1f
                                                                  : 5.0f - o->radius());
  }
  key(vl::Key_Down);
  EXPECT_EQ(m.lineWidth(), 2.0f);
  EXPECT_TRUE(m.smoothLines());
  key(vl::Key_Up);

  // The highlight and hidden hydrogens hold in every style and structure.
  app.selectAtom(m.atom(0));
  app.selectAtom(m.atom(1));
  key(vl::Key_H);
  for (int s = 0; s < 4; ++s, key(vl::Key_Up)) { // every style, back to ball-and-stick
    SCOPED_TRACE(testing::Message() << "style " << app.currentStyle());
    EXPECT_TRUE(m.atom(0)->color() == kHighlight && m.atom(1)->color() == kHighlight);
    EXPECT_EQ(m.atom(2)->color(), vl::atomInfo(vl::AT_Hydrogen).cpkColor());
    EXPECT_TRUE(m.atom(0)->visible() && !m.atom(1)->visible() && !m.atom(2)->visible());
  }
  // Ball-and-stick: only the oxygen ball is drawn.
  EXPECT_EQ(m.moleculeStyle(), vl::MS_BallAndStick);
  EXPECT_FLOAT_EQ(bounds().second.y, 0.30f);
  EXPECT_FLOAT_EQ(bounds().first.x, 5.0f - 0.30f);

  app.clearSelection();
  app.updateMolecule();
  EXPECT_EQ(m.atom(0)->color(), vl::atomInfo(vl::AT_Oxygen).cpkColor());
  EXPECT_EQ(m.atom(1)->color(), vl::atomInfo(vl::AT_Hydrogen).cpkColor());
  // The other structure: hidden hydrogens too, and only it is drawn.
  key(vl::Key_Left);
  EXPECT_EQ(app.currentMolecule(), 0);
  EXPECT_FALSE(current().atom(1)->visible());
  EXPECT_FLOAT_EQ(bounds().second.x, 0.30f);
  key(vl::Key_H);
  EXPECT_TRUE(current().atom(1)->visible());
}

TEST_F(DisplayTest, OverlayLineIsDrawnAndCountsStructures)
{
  vl::fvec3 lo, hi;
  app.updateMolecule(); // nothing loaded: nothing drawn
  app.updateText();
  EXPECT_FALSE(app.sceneManager()->bounds(lo, hi));
  // The overlay text joins the scene in initEvent, whose font needs the Qt application.
  auto& gl = orbisk_test::GLEnvironment::instance();
  if (!QGuiApplication::instance() && !gl.problem().empty())
    GTEST_SKIP() << "no Qt application: " << gl.problem();
  app.initEvent();
  // The overlay line, the status line, the results panel, then the help (empty until F1).
  ASSERT_EQ(app.sceneManager()->texts().size(), 4u);
  const vl::Text& text = *app.sceneManager()->texts().front();
  EXPECT_FALSE(text.font()->path().empty()) << "VeraMono.ttf from the build tree's data directory";

  // Drawn over the clear colour at a size other than the window's, as the capture does, in a context of
  // its own: the overlay's painter leaves glyph caches on it, which must go while the X server is there.
  if (gl.problem().empty()) {
    QOpenGLContext context;
    context.setFormat(gl.context()->format());
    ASSERT_TRUE(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(context.makeCurrent(&surface));
    app.rendering()->camera()->viewport()->setClearColor(vl::fvec4(0.0f, 0.0f, 1.0f, 1.0f));
    {
      orbisk_test::OffscreenTarget target(700, 90);
      ASSERT_TRUE(target.valid());
      target.begin(1, 0, 0);
      app.rendering()->render(700, 90);
      const QImage img = target.image();
      int white = 0, whiteOutside = 0, blue = 0; // the text is centred, 5 pixels down
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
          const QColor c = img.pixelColor(x, y);
          const bool isWhite = std::min({c.red(), c.green(), c.blue()}) > 200;
          white += isWhite;
          whiteOutside += isWhite && (x < 200 || x >= 500 || y < 5 || y > 25);
          blue += c == QColor(0, 0, 255);
        }
      EXPECT_GT(white, 100);
      EXPECT_EQ(whiteOutside, 0);
      EXPECT_GT(blue, 700 * 90 * 9 / 10);
    }
    context.doneCurrent();
    gl.makeCurrent();
  }

  load("3\nwater\nO 0 0 0.117\nH 0 0.757 -0.467\nH 0 -0.757 -0.467\n");
  const std::string tail = ": use the arrow keys to change molecule and style";
  EXPECT_EQ(text.text(), current().moleculeName() + " (1/1)" + tail);
  load(kWaterTwoFrames);
  EXPECT_EQ(text.text(), current().moleculeName() + " (3/3)" + tail);
  key(vl::Key_Left);
  EXPECT_EQ(text.text(), current().moleculeName() + " (2/3)" + tail);
  key(vl::Key_Up); // a style change leaves the line as it is
  EXPECT_EQ(text.text(), current().moleculeName() + " (2/3)" + tail);
  ASSERT_EQ(app.sceneManager()->texts().size(), 4u) << "the overlay stays in the scene";
  // The status line names the style and hidden hydrogens.
  const vl::Text& status = *app.sceneManager()->texts()[1];
  EXPECT_EQ(status.text().substr(0, 6), "Sticks");
  key(vl::Key_H);
  EXPECT_EQ(status.text().substr(0, 17), "Sticks | H hidden");
}

} // namespace
