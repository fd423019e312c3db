// Motion along a normal mode: the centre of mass stays still, the default amplitude, mismatched vectors.
#include <cmath>

#include "core/chemistry/vibration.h"
#include "qcout_testutil.h"

namespace {

vl::ref<vl::Molecule> Water()
{
  auto m = vl::make_ref<vl::Molecule>();
  const std::pair<vl::EAtomType, vl::fvec3> atoms[] = {
      {vl::AT_Oxygen, {0, 0, 0.12f}}, {vl::AT_Hydrogen, {0, 0.76f, -0.47f}}, {vl::AT_Hydrogen, {0, -0.76f, -0.47f}}};
  for (const auto& [type, x] : atoms) {
    auto a = vl::make_ref<vl::Atom>();
    a->setAtomType(type), a->setCoordinates(x);
    m->addAtom(a);
  }
  return m;
}

} // namespace

TEST(Vibration, CentreOfMassStaysStillAndTheLargestSwingIsTheDefault)
{
  const auto water = Water();
  struct Case {
    std::vector<vl::fvec3> vectors;
    bool fits;
  };
  // A bend with some drift of the whole molecule; a mode with a vector short; a mode that moves nothing.
  const std::vector<Case> cases = {{{{0, 0, 0.1f}, {0, 0.5f, -0.3f}, {0, -0.4f, -0.3f}}, true},
                                   {{{0, 0, 0.1f}, {0, 0.5f, -0.3f}}, false},
                                   {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, true}};
  for (const Case& c : cases) {
    vl::NormalMode mode;
    mode.displacement = c.vectors;
    const std::vector<vl::fvec3> d = CentredDisplacement(*water, mode);
    ASSERT_EQ(d.size(), c.fits ? 3u : 0u);
    if (!c.fits)
      continue;
    double moment[3] = {0, 0, 0}, longest = 0;
    for (int i = 0; i < 3; ++i) {
      const double m = AtomicMass(vl::atomInfo(water->atom(i)->atomType()).atomicNumber());
      for (int k = 0; k < 3; ++k)
        moment[k] += m * d[static_cast<size_t>(i)][k];
      longest = std::max(longest, static_cast<double>(d[static_cast<size_t>(i)].length()));
    }
    for (double v : moment)
      EXPECT_NEAR(v, 0.0, 1e-5);
    const double a = DefaultAmplitude(d);
    EXPECT_NEAR(a * longest, longest > 0 ? 0.3 : 0.0, 1e-6);
    // A quarter period on, the atoms are a whole swing away; half a period on, back at rest.
    const auto quarter = ModePositions(*water, d, a, M_PI / 2), half = ModePositions(*water, d, a, M_PI);
    for (int i = 0; i < 3; ++i) {
      const vl::fvec3& x = water->atom(i)->coordinates();
      EXPECT_NEAR((quarter[static_cast<size_t>(i)] - x - d[static_cast<size_t>(i)] * static_cast<float>(a)).length(),
                  0.0, 1e-6);
      EXPECT_NEAR((half[static_cast<size_t>(i)] - x).length(), 0.0, 1e-6);
    }
  }
  EXPECT_NEAR(AtomicMass(8), 15.999, 1e-9);
  EXPECT_EQ(AtomicMass(0), 0.0);
  EXPECT_EQ(AtomicMass(200), 0.0);
}
