#include "core/orbitals/basis.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace orb {

double DoubleFactorial(int n)
{
  double f = 1;
  for (; n > 1; n -= 2)
    f *= n;
  return f;
}

double PrimitiveNorm(double exponent, int l)
{
  return std::pow(2 * exponent / M_PI, 0.75) * std::pow(4 * exponent, 0.5 * l) / std::sqrt(DoubleFactorial(2 * l - 1));
}

double CartesianNorm(double exponent, const Powers& p)
{
  const int l = p[0] + p[1] + p[2];
  return std::pow(2 * exponent / M_PI, 0.75) * std::pow(4 * exponent, 0.5 * l) /
         std::sqrt(DoubleFactorial(2 * p[0] - 1) * DoubleFactorial(2 * p[1] - 1) * DoubleFactorial(2 * p[2] - 1));
}

const std::vector<Powers>& CartesianPowers(int l)
{
  static const std::vector<std::vector<Powers>> table = [] {
    std::vector<std::vector<Powers>> t(kMaxL + 1);
    for (int n = 0; n <= kMaxL; ++n)
      for (int i = n; i >= 0; --i)
        for (int j = n - i; j >= 0; --j)
          t[static_cast<size_t>(n)].push_back({i, j, n - i - j});
    return t;
  }();
  return table.at(static_cast<size_t>(l));
}

int CartesianIndex(const Powers& p)
{
  const int l = p[0] + p[1] + p[2], rest = l - p[0];
  return rest * (rest + 1) / 2 + rest - p[1];
}

Powers PowersOf(std::string_view name)
{
  Powers p{0, 0, 0};
  for (char c : name)
    ++p[static_cast<size_t>(c - 'x')];
  return p;
}

double ComponentScale(const Powers& p)
{
  const int l = p[0] + p[1] + p[2];
  return std::sqrt(DoubleFactorial(2 * l - 1) /
                   (DoubleFactorial(2 * p[0] - 1) * DoubleFactorial(2 * p[1] - 1) * DoubleFactorial(2 * p[2] - 1)));
}

namespace {

double Binomial(int n, int k)
{
  if (k < 0 || k > n)
    return 0;
  double b = 1;
  for (int i = 1; i <= k; ++i)
    b = b * (n - k + i) / i;
  return b;
}

// <m|n> of two monomials of degree l, both with the radial factor N(a, l).
double MonomialOverlap(const Powers& m, const Powers& n, int l)
{
  double s = 1;
  for (size_t axis = 0; axis < 3; ++axis) {
    const int sum = m[axis] + n[axis];
    if (sum % 2 != 0)
      return 0;
    s *= DoubleFactorial(sum - 1);
  }
  return s / DoubleFactorial(2 * l - 1);
}

// The real solid harmonic of (l, m) in monomials, unnormalised (the closed
// form with sums over t, u and v of the standard expansion; 2v = k here).
std::vector<double> SolidHarmonic(int l, int m)
{
  const int am = std::abs(m);
  std::vector<double> c(CartesianPowers(l).size(), 0.0);
  for (int t = 0; t <= (l - am) / 2; ++t)
    for (int u = 0; u <= t; ++u)
      for (int k = m < 0 ? 1 : 0; k <= am; k += 2) {
        const double sign = ((t + (k - (m < 0 ? 1 : 0)) / 2) % 2 == 0) ? 1.0 : -1.0;
        const double value =
            sign * std::pow(0.25, t) * Binomial(l, t) * Binomial(l - t, am + t) * Binomial(t, u) * Binomial(am, k);
        const Powers p{2 * t + am - 2 * u - k, 2 * u + k, l - 2 * t - am};
        c[static_cast<size_t>(CartesianIndex(p))] += value;
      }
  return c;
}

} // namespace

const std::vector<std::vector<double>>& PureToCartesian(int l)
{
  static const std::vector<std::vector<std::vector<double>>> table = [] {
    std::vector<std::vector<std::vector<double>>> all(kMaxL + 1);
    for (int n = 0; n <= kMaxL; ++n) {
      const auto& powers = CartesianPowers(n);
      for (int row = 0; row < 2 * n + 1; ++row) {
        const int m = row == 0 ? 0 : row % 2 == 1 ? (row + 1) / 2 : -(row / 2);
        std::vector<double> c = SolidHarmonic(n, m);
        double norm = 0;
        for (size_t a = 0; a < c.size(); ++a)
          for (size_t b = 0; b < c.size(); ++b)
            norm += c[a] * c[b] * MonomialOverlap(powers[a], powers[b], n);
        for (double& v : c)
          v /= std::sqrt(norm);
        all[static_cast<size_t>(n)].push_back(std::move(c));
      }
    }
    return all;
  }();
  return table.at(static_cast<size_t>(l));
}

bool WfnTypePowers(int type, Powers& p)
{
  static const char* const names[] = {"",     "x",    "y",    "z",    "xx",   "yy",   "zz",   "xy",   "xz",
                                      "yz",   "xxx",  "yyy",  "zzz",  "xxy",  "xxz",  "yyz",  "xyy",  "xzz",
                                      "yzz",  "xyz",  "xxxx", "yyyy", "zzzz", "xxxy", "xxxz", "xyyy", "yyyz",
                                      "xzzz", "yzzz", "xxyy", "xxzz", "yyzz", "xxyz", "xyyz", "xyzz"};
  constexpr int kNamed = static_cast<int>(sizeof names / sizeof names[0]);
  if (type >= 1 && type <= kNamed) {
    p = PowersOf(names[type - 1]);
    return true;
  }
  // h: x power 0 to 5, then y power 0 up, z the rest (zzzzz, yzzzz, ..., xxxxx).
  int h = type - kNamed - 1;
  if (h < 0 || h >= 21)
    return false;
  for (int i = 0; i <= 5; ++i)
    for (int j = 0; j <= 5 - i; ++j)
      if (h-- == 0) {
        p = {i, j, 5 - i - j};
        return true;
      }
  return false;
}

Expansion Expand(const Wavefunction& w, const std::vector<const Orbital*>& orbitals)
{
  Expansion e;
  e.orbitals = orbitals.size();
  const size_t norb = orbitals.size();
  if (!w.primitives.empty()) {
    // Primitives on one centre with one exponent share their exponential.
    std::map<std::pair<int, double>, size_t> byCentre;
    std::vector<std::pair<size_t, size_t>> slot(w.primitives.size()); // group, monomial
    for (size_t q = 0; q < w.primitives.size(); ++q) {
      const Primitive& p = w.primitives[q];
      const auto [it, added] = byCentre.emplace(std::make_pair(p.atom, p.exponent), e.groups.size());
      if (added) {
        Expansion::Group g;
        g.centre = w.atoms.at(static_cast<size_t>(p.atom)).position;
        g.alpha = {p.exponent};
        g.weight = {1.0};
        e.groups.push_back(std::move(g));
      }
      Expansion::Group& g = e.groups[it->second];
      Powers powers{};
      WfnTypePowers(p.type, powers);
      const auto found = std::find(g.powers.begin(), g.powers.end(), powers);
      slot[q] = {it->second, static_cast<size_t>(found - g.powers.begin())};
      if (found == g.powers.end())
        g.powers.push_back(powers);
      g.lmax = std::max(g.lmax, powers[0] + powers[1] + powers[2]);
    }
    for (auto& g : e.groups)
      g.coef.assign(norb * g.powers.size(), 0.0);
    for (size_t o = 0; o < norb; ++o)
      for (size_t q = 0; q < w.primitives.size() && q < orbitals[o]->coefficients.size(); ++q) {
        Expansion::Group& g = e.groups[slot[q].first];
        g.coef[o * g.powers.size() + slot[q].second] += orbitals[o]->coefficients[q];
      }
    return e;
  }
  size_t offset = 0;
  for (const Shell& s : w.shells) {
    Expansion::Group g;
    g.centre = w.atoms.at(static_cast<size_t>(s.atom)).position;
    g.alpha = s.exponents;
    for (size_t p = 0; p < s.exponents.size(); ++p)
      g.weight.push_back(s.coefficients[p] * PrimitiveNorm(s.exponents[p], s.l));
    g.powers = CartesianPowers(s.l);
    g.lmax = s.l;
    const size_t ncart = g.powers.size(), nf = static_cast<size_t>(s.functions());
    g.coef.assign(norb * ncart, 0.0);
    for (size_t o = 0; o < norb; ++o) {
      const std::vector<double>& c = orbitals[o]->coefficients;
      if (offset + nf > c.size())
        continue;
      double* out = &g.coef[o * ncart];
      if (!s.pure) {
        for (size_t m = 0; m < ncart; ++m)
          out[m] = c[offset + m] * ComponentScale(g.powers[m]);
      } else {
        const auto& t = PureToCartesian(s.l);
        for (size_t m = 0; m < nf; ++m)
          for (size_t k = 0; k < ncart; ++k)
            out[k] += c[offset + m] * t[m][k];
      }
    }
    offset += nf;
    e.groups.push_back(std::move(g));
  }
  return e;
}

namespace {

// Overlaps of the monomial pairs of two groups (row-major, a's monomials by b's);
// false when the groups are too far apart to overlap at all.
bool GroupOverlap(const Expansion::Group& a, const Expansion::Group& b, std::vector<double>& block)
{
  bool any = false;
  const size_t na = a.powers.size(), nb = b.powers.size();
  block.assign(na * nb, 0.0);
  double d[3], r2 = 0;
  for (int axis = 0; axis < 3; ++axis) {
    d[axis] = a.centre[static_cast<size_t>(axis)] - b.centre[static_cast<size_t>(axis)];
    r2 += d[axis] * d[axis];
  }
  constexpr int kN = kMaxL + 1;
  for (size_t p = 0; p < a.alpha.size(); ++p)
    for (size_t q = 0; q < b.alpha.size(); ++q) {
      const double al = a.alpha[p], be = b.alpha[q], sum = al + be;
      const double pre = a.weight[p] * b.weight[q] * std::exp(-al * be / sum * r2);
      if (std::fabs(pre) < 1e-18)
        continue;
      any = true;
      // The one-dimensional overlaps by the Obara-Saika recurrence.
      double s[3][kN][kN];
      for (int axis = 0; axis < 3; ++axis) {
        const double pa = -be / sum * d[axis], pb = al / sum * d[axis];
        auto& t = s[axis];
        t[0][0] = std::sqrt(M_PI / sum);
        for (int i = 0; i <= a.lmax; ++i)
          for (int j = 0; j <= b.lmax; ++j) {
            if (i == 0 && j == 0)
              continue;
            if (i > 0) {
              t[i][j] = pa * t[i - 1][j];
              if (i > 1)
                t[i][j] += (i - 1) * t[i - 2][j] / (2 * sum);
              if (j > 0)
                t[i][j] += j * t[i - 1][j - 1] / (2 * sum);
            } else {
              t[i][j] = pb * t[i][j - 1];
              if (j > 1)
                t[i][j] += (j - 1) * t[i][j - 2] / (2 * sum);
            }
          }
      }
      for (size_t m = 0; m < na; ++m)
        for (size_t n = 0; n < nb; ++n) {
          const Powers &u = a.powers[m], &v = b.powers[n];
          block[m * nb + n] += pre * s[0][u[0]][v[0]] * s[1][u[1]][v[1]] * s[2][u[2]][v[2]];
        }
    }
  return any;
}

} // namespace

std::vector<double> Norms(const Expansion& e)
{
  std::vector<double> norms(e.orbitals, 0.0);
  std::vector<double> block;
  for (size_t g = 0; g < e.groups.size(); ++g)
    for (size_t h = g; h < e.groups.size(); ++h) {
      const Expansion::Group &a = e.groups[g], &b = e.groups[h];
      if (!GroupOverlap(a, b, block))
        continue;
      const size_t na = a.powers.size(), nb = b.powers.size();
      const double twice = g == h ? 1.0 : 2.0;
      for (size_t o = 0; o < e.orbitals; ++o) {
        const double *ca = &a.coef[o * na], *cb = &b.coef[o * nb];
        double sum = 0;
        for (size_t m = 0; m < na; ++m) {
          if (ca[m] == 0)
            continue;
          double row = 0;
          for (size_t n = 0; n < nb; ++n)
            row += block[m * nb + n] * cb[n];
          sum += ca[m] * row;
        }
        norms[o] += twice * sum;
      }
    }
  return norms;
}

double LargestNormError(const Wavefunction& w, size_t sample)
{
  std::vector<const Orbital*> picked;
  for (const auto* set : {&w.alpha, &w.beta}) {
    const size_t n = set->size();
    if (n == 0)
      continue;
    const size_t take = std::min(n, std::max<size_t>(sample, 2));
    for (size_t k = 0; k < take; ++k)
      picked.push_back(&(*set)[take == 1 ? 0 : k * (n - 1) / (take - 1)]);
  }
  double worst = 0;
  for (double norm : Norms(Expand(w, picked))) {
    if (!std::isfinite(norm))
      return HUGE_VAL;
    worst = std::max(worst, std::fabs(norm - 1));
  }
  return worst;
}

double ContractionSelfOverlap(const Shell& shell)
{
  double s = 0;
  for (size_t p = 0; p < shell.exponents.size(); ++p)
    for (size_t q = 0; q < shell.exponents.size(); ++q) {
      const double a = shell.exponents[p], b = shell.exponents[q];
      s += shell.coefficients[p] * shell.coefficients[q] * std::pow(2 * std::sqrt(a * b) / (a + b), shell.l + 1.5);
    }
  return s;
}

} // namespace orb
