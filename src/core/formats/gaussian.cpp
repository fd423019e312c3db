// Gaussian output: orientation tables in angstrom, one structure each. The
// selector picks the family: 0 input and Z-matrix orientations, 1 standard.
// Normal modes go to the structure of the table before them.
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/model/elements.h"

namespace {

constexpr std::string_view kInputMarker = "                          Input orientation:";      // 26 blanks
constexpr std::string_view kZMatrixMarker = "                         Z-Matrix orientation:";  // 25 blanks
constexpr std::string_view kStandardMarker = "                         Standard orientation:"; // 25 blanks
constexpr std::string_view kCommonPart = " orientation:";
constexpr std::string_view kRule = "---------------------------------------------------------------------"; // 69

// Besides Gaussian's own rule, a line of nothing but blanks and at least 20
// dashes ends a table: xtb's imitation (g98.out) draws its rule one dash short.
bool EndsTable(std::string_view line)
{
  if (qcout::Contains(line, kRule))
    return true;
  int dashes = 0;
  for (char c : line) {
    if (c == '-')
      ++dashes;
    else if (c != ' ' && c != '\r')
      return false;
  }
  return dashes >= 20;
}

bool IsMarker(std::string_view line, int type)
{
  if (!qcout::Contains(line, kCommonPart))
    return false;
  if (type == 0)
    return qcout::Contains(line, kInputMarker) || qcout::Contains(line, kZMatrixMarker);
  if (type == 1)
    return qcout::Contains(line, kStandardMarker);
  return false;
}

// The method inside "E(RB3LYP)" of an "SCF Done:" line.
std::string MethodInParentheses(std::string_view line)
{
  const size_t open = line.find("E(");
  const size_t close = open == std::string_view::npos ? open : line.find(')', open);
  return close == std::string_view::npos ? std::string() : std::string(line.substr(open + 2, close - open - 2));
}

// Correlated energies, each printed after the lower levels: the last one
// read is the highest level of theory.
struct Correlated {
  std::string_view marker;
  const char* method;
};
constexpr Correlated kCorrelated[] = {
    {" EUMP2 =", "MP2"},           {" EUMP3=", "MP3"},
    {" UMP4(DQ)=", "MP4(DQ)"},     {" UMP4(SDQ)=", "MP4(SDQ)"},
    {" UMP4(SDTQ)=", "MP4(SDTQ)"}, {" MP5 =", "MP5"},
    {" E(CI)=", "CISD"},           {"amplitudes converged. E(Corr)=", "CC"},
    {" CCSD(T)=", "CCSD(T)"},      {" QCISD(T)=", "QCISD(T)"},
};

// What Gaussian printed about the geometry of the table before.
void ReadResult(std::string_view line, std::string_view first, vl::Calculation& result, std::string_view coupledCluster)
{
  // Cheap tests first: nearly every line of a long output carries nothing
  // here. Criteria start "Maximum" or "RMS"; every energy line has an '=' and
  // starts with SCF, E2, E3=, E4(..)=, DEMP5, DE(CI)=, Wavefunction,
  // CCSD(T)= or QCISD(T)=.
  if (first == "Maximum" || first == "RMS") {
    // A row of the "Item Value Threshold Converged?" table.
    vl::Convergence& g = result.convergence;
    vl::ConvergenceCriterion* criterion = qcout::Contains(line, " Maximum Force ")          ? &g.maxForce
                                          : qcout::Contains(line, " RMS     Force ")        ? &g.rmsForce
                                          : qcout::Contains(line, " Maximum Displacement ") ? &g.maxDisplacement
                                          : qcout::Contains(line, " RMS     Displacement ") ? &g.rmsDisplacement
                                                                                            : nullptr;
    if (criterion) {
      criterion->converged.reset(); // the verdict of this row only
      qcout::ReadCriterion(line, 2, *criterion);
    }
    return;
  }
  if (first.empty() || std::string_view("SEDWCQ").find(first[0]) == std::string_view::npos ||
      std::memchr(line.data(), '=', line.size()) == nullptr)
    return;
  if (first == "SCF" && qcout::Contains(line, "SCF Done:")) {
    const auto energy = qcout::NumberAfter(line, ") =");
    result.scfEnergy = energy;
    result.totalEnergy = energy;
    result.method = MethodInParentheses(line);
    return;
  }
  for (const Correlated& c : kCorrelated)
    if (qcout::Contains(line, c.marker)) {
      // A malformed value keeps the level below it.
      if (const auto energy = qcout::NumberAfter(line, c.marker)) {
        result.totalEnergy = energy;
        result.method = std::string_view(c.method) == "CC" ? std::string(coupledCluster) : c.method;
      }
      return;
    }
}

using Point = std::array<double, 3>;
using Matrix = std::array<Point, 3>;
constexpr Matrix kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

Point Cross(const Point& a, const Point& b)
{
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Point& a, const Point& b)
{
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Point Scaled(const Point& a, double s)
{
  return {a[0] * s, a[1] * s, a[2] * s};
}

// The proper rotation that turns the atoms `from` into `to`, the same atoms in
// another frame. Gaussian prints its modes in the standard orientation; the
// structure may be in the input one. An orthonormal frame is built on the atom
// farthest from the centre and the one most out of line with it, in both.
Matrix FrameRotation(const std::vector<Point>& from, const std::vector<Point>& to)
{
  const size_t n = from.size();
  if (n == 0 || to.size() != n)
    return kIdentity;
  auto centred = [n](const std::vector<Point>& xs) {
    Point c = {0, 0, 0};
    for (const Point& p : xs)
      for (int k = 0; k < 3; ++k)
        c[k] += p[k] / static_cast<double>(n);
    std::vector<Point> out(xs);
    for (Point& p : out)
      for (int k = 0; k < 3; ++k)
        p[k] -= c[k];
    return out;
  };
  const std::vector<Point> a = centred(from), b = centred(to);
  size_t i = 0, j = 0;
  for (size_t k = 1; k < n; ++k)
    if (Dot(a[k], a[k]) > Dot(a[i], a[i]))
      i = k;
  double best = 0;
  for (size_t k = 0; k < n; ++k) {
    const Point c = Cross(a[i], a[k]);
    if (Dot(c, c) > best)
      best = Dot(c, c), j = k;
  }
  const double ai = std::sqrt(Dot(a[i], a[i])), bi = std::sqrt(Dot(b[i], b[i]));
  if (!(ai > 1e-6 && bi > 1e-6))
    return kIdentity;
  const Point u = Scaled(a[i], 1 / ai), v = Scaled(b[i], 1 / bi);
  Matrix r = kIdentity;
  if (!(best > 1e-6 * ai * ai)) {
    // No atom 0.001 A off the line: the least rotation that lays one axis on the other.
    const Point k = Cross(u, v);
    const double c = Dot(u, v);
    if (c < -1 + 1e-9) {
      // Half a turn about an axis across the molecule.
      Point across = Cross(u, std::fabs(u[0]) < 0.9 ? Point{1, 0, 0} : Point{0, 1, 0});
      across = Scaled(across, 1 / std::sqrt(Dot(across, across)));
      for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 3; ++q)
          r[p][q] = 2 * across[p] * across[q] - (p == q ? 1 : 0);
      return r;
    }
    const Matrix kx = {{{0, -k[2], k[1]}, {k[2], 0, -k[0]}, {-k[1], k[0], 0}}};
    for (int p = 0; p < 3; ++p)
      for (int q = 0; q < 3; ++q) {
        double square = 0;
        for (int s = 0; s < 3; ++s)
          square += kx[p][s] * kx[s][q];
        r[p][q] += kx[p][q] + square / (1 + c);
      }
    return r;
  }
  auto frame = [](const Point& e1, const Point& w) {
    Point e3 = Cross(e1, w);
    e3 = Scaled(e3, 1 / std::sqrt(Dot(e3, e3)));
    return Matrix{e1, Cross(e3, e1), e3};
  };
  const Matrix fa = frame(u, a[j]), fb = frame(v, b[j]);
  // A vector's components in the frame of `from`, put back in the frame of `to`.
  for (int p = 0; p < 3; ++p)
    for (int q = 0; q < 3; ++q)
      r[p][q] = fb[0][p] * fa[0][q] + fb[1][p] * fa[1][q] + fb[2][p] * fa[2][q];
  return r;
}

// The values after the "--" or "---" of a mode block line; empty when any is no number.
std::vector<double> ValuesAfterDashes(std::string_view line)
{
  std::vector<double> values;
  size_t at = line.find("--");
  if (at == std::string_view::npos)
    return values;
  at = line.find_first_not_of('-', at);
  if (at != std::string_view::npos && !qcout::Numbers(line.substr(at), values))
    values.clear();
  return values;
}

constexpr int kStandardModes = 1, kPreciseModes = 2; // "Frequencies --" and freq=HPModes' "Frequencies ---"

// The normal modes of the current structure as their blocks come.
struct ModeReading {
  int atoms = 0;
  std::vector<Point> input; // the structure's table
  std::string standard;     // the rows of the standard orientation printed after it, read when modes come
  int kind = 0;             // of the structure's modes; 0 before any
  int setKind = 0;          // of the set of blocks being read; 0 before its first block
  bool keep = false;        // the set being read is kept
  bool fresh = false;       // its first block replaces the modes read before
  Matrix turn = kIdentity;  // standard orientation to the structure's frame

  void reset(int count)
  {
    *this = ModeReading();
    atoms = count;
  }
};

// Passes over the rows of a block that is not kept while they look like its
// rows (the atom number where it belongs), sparing them the marker search.
void SkipRows(LineReader& in, int rows, bool precise)
{
  std::string_view line;
  for (int row = 0; row < rows && in.next(line); ++row) {
    const std::string_view word = qcout::Word(line, precise ? 1 : 0);
    int atom = 0;
    const auto [stop, error] = std::from_chars(word.data(), word.data() + word.size(), atom);
    if (error != std::errc() || stop != word.data() + word.size() || atom != (precise ? row / 3 : row) + 1)
      return;
  }
}

// One block of modes, from its "Frequencies" line: the values per mode, then
// the displacement rows, per atom (3 modes a block) or per coordinate
// (HPModes, 5 a block). A block that does not give every atom's row stops the set.
std::vector<Point> StandardRows(std::string_view rows);

void ReadModeBlock(std::string_view line, LineReader& in, vl::Calculation& result, ModeReading& state,
                   bool standardFrame)
{
  const int kind = qcout::Contains(line, "Frequencies ---") ? kPreciseModes : kStandardModes;
  if (state.setKind != kind) {
    // A new set: it replaces standard modes with precise ones, else only fills an empty list.
    state.setKind = kind;
    state.keep = result.modes.empty() || (state.kind == kStandardModes && kind == kPreciseModes);
    state.fresh = true;
    const std::vector<Point> standard =
        state.keep && !standardFrame ? StandardRows(state.standard) : std::vector<Point>();
    const bool turned = standard.size() == static_cast<size_t>(state.atoms);
    state.turn = turned ? FrameRotation(standard, state.input) : kIdentity;
  }
  const bool keep = state.keep;
  state.keep = false; // until the block is whole
  const std::vector<double> frequencies = ValuesAfterDashes(line);
  const size_t k = frequencies.size();
  if (k == 0 || k > 10 || state.atoms <= 0)
    return;
  std::vector<double> ir, raman;
  std::string_view next;
  for (int header = 0;; ++header) {
    if (header > 12 || !in.next(next))
      return;
    if (qcout::Contains(next, "IR Inten"))
      ir = ValuesAfterDashes(next);
    else if (qcout::Contains(next, "Raman Activ"))
      raman = ValuesAfterDashes(next);
    else if (kind == kPreciseModes ? qcout::Contains(next, "Coord Atom Element")
                                   : qcout::Contains(next, "Atom") && qcout::Contains(next, " AN "))
      break;
  }
  // Rows: atom, atomic number, x y z per mode; HPModes: axis, atom, atomic number, a value per mode.
  const int rows = kind == kPreciseModes ? 3 * state.atoms : state.atoms;
  if (!keep) {
    SkipRows(in, rows, kind == kPreciseModes);
    return;
  }
  std::vector<vl::NormalMode> block(k);
  for (size_t m = 0; m < k; ++m) {
    block[m].frequency = frequencies[m];
    if (ir.size() == k)
      block[m].irIntensity = ir[m];
    if (raman.size() == k)
      block[m].ramanActivity = raman[m];
    block[m].displacement.resize(static_cast<size_t>(state.atoms));
  }
  const size_t lead = kind == kPreciseModes ? 3 : 2;
  std::vector<double> values;
  for (int row = 0; row < rows; ++row) {
    values.clear();
    if (!in.next(next) || !qcout::Numbers(next, values))
      return;
    const int atom = kind == kPreciseModes ? row / 3 : row;
    const bool aligned = kind == kPreciseModes
                             ? values.size() == lead + k && values[0] == row % 3 + 1 && values[1] == atom + 1
                             : values.size() == lead + 3 * k && values[0] == atom + 1;
    if (!aligned)
      return;
    for (size_t m = 0; m < k; ++m) {
      vl::fvec3& d = block[m].displacement[static_cast<size_t>(atom)];
      if (kind == kPreciseModes)
        d[row % 3] = static_cast<float>(values[lead + m]);
      else
        d = vl::fvec3(static_cast<float>(values[lead + 3 * m]), static_cast<float>(values[lead + 3 * m + 1]),
                      static_cast<float>(values[lead + 3 * m + 2]));
    }
  }
  const Matrix& r = state.turn;
  for (vl::NormalMode& mode : block)
    for (vl::fvec3& d : mode.displacement) {
      const Point v = {d[0], d[1], d[2]};
      d = vl::fvec3(static_cast<float>(Dot(r[0], v)), static_cast<float>(Dot(r[1], v)),
                    static_cast<float>(Dot(r[2], v)));
    }
  if (state.fresh)
    result.modes.clear();
  state.fresh = false;
  state.kind = kind;
  state.keep = true;
  result.modes.insert(result.modes.end(), std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
}

// A standard orientation table after an input one, its header line read: its
// rows, kept as text (parsed only if the step has normal modes); empty when
// the table is cut short.
std::string CopyStandardTable(LineReader& in)
{
  std::string rows;
  std::string_view line;
  in.skip(4);
  while (in.next(line)) {
    if (EndsTable(line))
      return rows;
    rows.append(line).push_back('\n');
  }
  return {};
}

// The positions of the copied rows; empty when a row is malformed.
std::vector<Point> StandardRows(std::string_view rows)
{
  std::vector<Point> points;
  for (size_t begin = 0, end; (end = rows.find('\n', begin)) != std::string_view::npos; begin = end + 1) {
    int centre = 0, atomicNumber = 0, atomicType = 0;
    Point p = {0, 0, 0};
    FieldReader reader(rows.substr(begin, end - begin));
    reader >> centre >> atomicNumber >> atomicType >> p[0] >> p[1] >> p[2];
    if (reader.fail())
      return {};
    points.push_back(p);
  }
  return points;
}

// The coupled-cluster method the route asks for (CCD, CCSD, QCISD...), as
// the converged amplitudes line does not name it.
std::string CoupledClusterMethod(std::string_view route)
{
  std::string upper(route);
  for (char& c : upper)
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  for (const char* method : {"QCISD", "CCSD", "CCD", "QCID"})
    if (qcout::Contains(upper, method))
      return method;
  return "CC";
}

// Reads the tables of one family: 0 input and Z-matrix orientations, 1 standard.
int ReadGaussianFile(const std::string& file, StructureList& structures, int type, vl::Log& log)
{
  std::string coupledCluster = "CC"; // named by the route, which comes before any table
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (line.size() > 2 && line[1] == '#')
      coupledCluster = CoupledClusterMethod(line);
    // Every orientation header has a colon: memchr is much cheaper than the marker search.
    if (std::memchr(line.data(), ':', line.size()) == nullptr)
      return 0;
    if (!IsMarker(line, type))
      return 0;
    qcout::Announce(log, type == 0 ? "Found Input or Z-Matrix orientation!\n" : "Found Standard orientation!\n");
    in.skip(4);
    return 1;
  };
  ModeReading modes;
  auto readRows = [&](LineReader& in, int, vl::Molecule& molecule) {
    std::vector<Point> input;
    std::string_view line;
    while (in.next(line) && !EndsTable(line)) {
      int centre = 0, atomicNumber = -1, atomicType = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> centre >> atomicNumber >> atomicType >> x >> y >> z;

      char symbol[3] = {0, 0, 0};
      BaseSetAtName(atomicNumber, &symbol[0], &symbol[1]);
      if (symbol[1] == ' ')
        symbol[1] = '\0';
      qcout::AddAtom(molecule, x, y, z, symbol + std::to_string(centre), vl::atomType(symbol));
      input.push_back({x, y, z});
    }
    modes.reset(molecule.atoms());
    modes.input = std::move(input);
  };
  auto readResult = [&](std::string_view line, LineReader& in, vl::Calculation& result) {
    // Only lines starting with one of these letters carry anything here.
    const char letter = qcout::FirstChar(line);
    if (letter == 0 || std::string_view("FHSMRECDWQ").find(letter) == std::string_view::npos)
      return;
    const std::string_view first = qcout::Word(line, 0);
    if (first == "Frequencies" && qcout::Contains(line, "Frequencies --"))
      ReadModeBlock(line, in, result, modes, type == 1);
    else if (first == "Harmonic" && qcout::Contains(line, "Harmonic frequencies"))
      modes.setKind = 0; // each set of blocks is announced
    else if (type == 0 && first == "Standard" && IsMarker(line, 1))
      modes.standard = CopyStandardTable(in);
    else
      ReadResult(line, first, result, coupledCluster);
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

// Input/Z-matrix orientations are preferred; standard ones are the fallback.
int readGaussian(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  if (ReadGaussianFile(file, structures, 0, log) == 0)
    return 0;
  return ReadGaussianFile(file, structures, 1, log);
}

} // namespace

extern const FileFormat kGaussianFormat;
const FileFormat kGaussianFormat =
    ContentFormat(FT_Gaussian, "Gaussian output",
                  {
                      // The two header lines of an orientation table, as two releases space them.
                      {{"Center     Atomic     Atomic              Coordinates (Angstroms)",
                        "Center     Atomic      Atomic             Coordinates (Angstroms)"}},
                      {{"Number     Number      Type              X           Y           Z",
                        "Number     Number       Type             X           Y           Z"}},
                  },
                  readGaussian);
