#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <utility>

#include "core/chemistry/isosurface.h"

namespace {

using vl::fvec3;

float dot(const fvec3& a, const fvec3& b)
{
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
fvec3 cross(const fvec3& a, const fvec3& b)
{
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

chem::ScalarGrid sample(fvec3 origin, fvec3 step, int n, const std::function<float(const fvec3&)>& field)
{
  chem::ScalarGrid g{origin, step, n, n, n, {}};
  for (int ix = 0; ix < n; ++ix)
    for (int iy = 0; iy < n; ++iy)
      for (int iz = 0; iz < n; ++iz)
        g.values.push_back(field(origin + fvec3(ix * step.x, iy * step.y, iz * step.z)));
  return g;
}

// Every directed edge once and its reverse once: closed, consistently wound.
bool closedAndConsistent(const chem::Mesh& m)
{
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  for (size_t t = 0; t < m.indices.size(); t += 3)
    for (int k = 0; k < 3; ++k)
      ++edges[{m.indices[t + k], m.indices[t + (k + 1) % 3]}];
  for (const auto& [e, count] : edges)
    if (count != 1 || edges.count({e.second, e.first}) == 0)
      return false;
  return !edges.empty();
}

// Total area; each triangle's winding normal must agree with its vertex normals.
double area(const chem::Mesh& m)
{
  double sum = 0;
  for (size_t t = 0; t < m.indices.size(); t += 3) {
    const uint32_t a = m.indices[t], b = m.indices[t + 1], c = m.indices[t + 2];
    const fvec3 n = cross(m.positions[b] - m.positions[a], m.positions[c] - m.positions[a]);
    EXPECT_GE(dot(n, m.normals[a] + m.normals[b] + m.normals[c]), 0.0f) << "triangle " << t / 3;
    sum += 0.5 * n.length();
  }
  return sum;
}

TEST(Isosurface, SphereIsClosedOnTheSphereWithOutwardNormalsAndItsArea)
{
  // Positive inside, or negative inside with a negative iso value; uneven spacing, off-centre.
  const fvec3 c(0.13f, -0.07f, 0.21f);
  const float r = 1.2f;
  for (float sign : {1.0f, -1.0f})
    for (fvec3 step : {fvec3(0.1f, 0.1f, 0.1f), fvec3(0.12f, 0.09f, 0.15f)}) {
      SCOPED_TRACE(testing::Message() << "sign " << sign << ", step.x " << step.x);
      const auto g =
          sample({-1.6f, -1.6f, -1.6f}, step, 42, [&](const fvec3& p) { return sign * (2.0f - (p - c).length()); });
      const chem::Mesh m = chem::ExtractIsosurface(g, sign * (2.0f - r));
      ASSERT_EQ(m.positions.size(), m.normals.size());
      EXPECT_TRUE(closedAndConsistent(m));
      EXPECT_TRUE(m.closed);
      for (size_t i = 0; i < m.positions.size(); ++i) {
        const fvec3 d = m.positions[i] - c;
        EXPECT_NEAR(d.length(), r, 0.1f * step.y);
        EXPECT_GT(dot(m.normals[i], d * (1.0f / d.length())), 0.995f);
      }
      EXPECT_NEAR(area(m), 4 * M_PI * r * r, 0.02 * 4 * M_PI * r * r);
    }
}

TEST(Isosurface, PlaneVerticesLieOnItWithTheNormalOutOfTheRegion)
{
  struct Case {
    fvec3 a;
    float iso;
    double area; // 0: not checked
  };
  for (const Case& k : {Case{{0, 0, 1}, 0.37f, 4.0}, Case{{0.6f, 0, 0.8f}, -0.2f, 0}, Case{{0, 1, 0}, 0.0f, 4.0}}) {
    const auto g = sample({-1, -1, -1}, {0.25f, 0.25f, 0.25f}, 9, [&](const fvec3& p) { return dot(k.a, p); });
    const chem::Mesh m = chem::ExtractIsosurface(g, k.iso);
    ASSERT_FALSE(m.indices.empty());
    EXPECT_FALSE(m.closed);
    const fvec3 out = k.a * (k.iso < 0 ? 1.0f : -1.0f);
    for (size_t i = 0; i < m.positions.size(); ++i) {
      EXPECT_NEAR(dot(k.a, m.positions[i]), k.iso, 1e-5f);
      EXPECT_NEAR(dot(m.normals[i], out), 1.0f, 1e-5f);
    }
    const double s = area(m);
    if (k.area > 0) {
      EXPECT_NEAR(s, k.area, 1e-4);
    }
  }
}

TEST(Isosurface, RandomFieldsGiveClosedSurfacesWhateverTheCornerPattern)
{
  // Random signs hit every cell case and every ambiguous face; a border of
  // outside values closes the surface.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> value(-1, 1);
  const int n = 8;
  for (float iso : {0.0f, 0.3f, -0.3f}) {
    const auto g = sample({0, 0, 0}, {1, 1, 1}, n, [&](const fvec3& p) {
      const bool border = p.x == 0 || p.y == 0 || p.z == 0 || p.x == n - 1 || p.y == n - 1 || p.z == n - 1;
      return border ? (iso < 0 ? 1.0f : -1.0f) : value(rng);
    });
    EXPECT_TRUE(closedAndConsistent(chem::ExtractIsosurface(g, iso))) << iso;
  }
}

TEST(Isosurface, NothingToCutOrTooFewPointsGivesAnEmptyMesh)
{
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    int nx, ny, nz;
    std::vector<float> values;
    float iso;
    size_t triangles;
  };
  const std::vector<Case> cases{
      {2, 2, 2, std::vector<float>(8, 1.0f), 0.5f, 0},  // all inside
      {2, 2, 2, std::vector<float>(8, -1.0f), 0.5f, 0}, // all outside
      {2, 2, 2, std::vector<float>(8, nan), 0.5f, 0},   // no numbers
      {2, 2, 2, {1, 0, 0, 0, 0, 0, 0, 0}, 0.5f, 1},     // one corner cut off
      {2, 2, 2, {1, 0, 0, 1, 0, 1, 1, 0}, 0.5f, 4},     // four corners apart
      {2, 2, 2, {nan, 0, 0, 0, 0, 0, 0, 1}, 0.5f, 1},   // NaN counts as outside
      {1, 1, 1, {1}, 0.5f, 0},                          // a single point
      {0, 0, 0, {}, 0.5f, 0},                           // none
      {2, 2, 2, {1, 0, 0}, 0.5f, 0},                    // values missing
      {2, 1, 2, {1, 0, 0, 0}, 0.5f, 0},                 // flat
  };
  for (const Case& k : cases) {
    const chem::Mesh m = chem::ExtractIsosurface({{0, 0, 0}, {1, 1, 1}, k.nx, k.ny, k.nz, k.values}, k.iso);
    EXPECT_EQ(m.triangles(), k.triangles) << k.nx << "x" << k.ny << "x" << k.nz;
    for (const fvec3& p : m.positions)
      EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
  }
}

} // namespace
