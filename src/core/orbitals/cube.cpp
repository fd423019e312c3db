#include "core/orbitals/cube.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <new>
#include <sys/stat.h>

#include "core/formats/countline.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/model/log.h"
#include "core/orbitals/readers.h"

namespace orb {

namespace {

constexpr double kBohrInAngstrom = 0.52917721067;

// Blank-separated numbers of a line, appended; false at a word that is no number.
bool Numbers(std::string_view line, std::vector<double>& out, size_t most = SIZE_MAX)
{
  for (size_t pos = 0; out.size() < most && (pos = line.find_first_not_of(" \t\r", pos)) != std::string_view::npos;) {
    const size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
    const char* begin = line.data() + pos + (line[pos] == '+' ? 1 : 0);
    double v = 0;
    const auto [stop, ec] = std::from_chars(begin, line.data() + end, v);
    if (ec != std::errc() || stop != line.data() + end || !std::isfinite(v))
      return false;
    out.push_back(v);
    pos = end;
  }
  return true;
}

std::string Trimmed(std::string_view text)
{
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

bool ReadHeader(LineReader& in, Cube& cube, long& atoms, size_t& perPoint, bool& angstrom, std::string& error)
{
  std::string_view line;
  for (std::string& c : cube.comment) {
    if (!in.next(line)) {
      error = "the cube file ends in its comment lines";
      return false;
    }
    c = Trimmed(line);
  }
  std::vector<double> v;
  if (!in.next(line) || !Numbers(line, v) || v.size() < 4 || v[0] != std::floor(v[0]) || v[0] == 0 ||
      std::fabs(v[0]) > 1e6) {
    error = "the third line of a cube file gives the number of atoms and the origin";
    return false;
  }
  atoms = static_cast<long>(v[0]);
  perPoint = v.size() >= 5 && v[4] >= 1 && v[4] == std::floor(v[4]) && v[4] < 1e4 ? static_cast<size_t>(v[4]) : 1;
  const double origin[3] = {v[1], v[2], v[3]};
  for (size_t a = 0; a < 3; ++a) {
    v.clear();
    if (!in.next(line) || !Numbers(line, v) || v.size() != 4 || v[0] != std::floor(v[0]) || v[0] == 0 ||
        std::fabs(v[0]) > kMaxGridSide * 64.0) {
      error = "line " + std::to_string(a + 4) + " of a cube file gives a point count and a step";
      return false;
    }
    if (a == 0)
      angstrom = v[0] < 0;
    cube.grid.counts[a] = static_cast<int>(std::fabs(v[0]));
    for (size_t b = 0; b < 3; ++b)
      cube.grid.axes[a][b] = angstrom ? v[b + 1] / kBohrInAngstrom : v[b + 1];
  }
  for (size_t a = 0; a < 3; ++a)
    cube.grid.origin[a] = angstrom ? origin[a] / kBohrInAngstrom : origin[a];
  for (long k = 0; k < std::labs(atoms); ++k) {
    v.clear();
    if (!in.next(line) || !Numbers(line, v) || v.size() < 5 || v[0] != std::floor(v[0]) || v[0] < 0 || v[0] > 200) {
      error = "atom " + std::to_string(k + 1) + " of the cube file is no line of atomic number, charge, x, y, z";
      return false;
    }
    WfnAtom atom;
    atom.atomicNumber = static_cast<int>(v[0]);
    for (size_t b = 0; b < 3; ++b)
      atom.position[b] = angstrom ? v[b + 2] / kBohrInAngstrom : v[b + 2];
    cube.atoms.push_back(atom);
    cube.charges.push_back(v[1]);
  }
  return true;
}

} // namespace

bool ReadCube(const std::string& file, Cube& cube, std::string& error)
{
  cube = Cube();
  LineReader in(file);
  long atoms = 0;
  size_t perPoint = 1;
  bool angstrom = false;
  if (!ReadHeader(in, cube, atoms, perPoint, angstrom, error))
    return false;
  std::string_view line;
  std::vector<double> v;
  if (atoms < 0) {
    // The orbital numbers: a count, then that many numbers.
    while (v.empty() || v.size() < static_cast<size_t>(v[0]) + 1) {
      if (!in.next(line) || !Numbers(line, v) || v.empty() || v[0] < 1 || v[0] > 1e4 || v[0] != std::floor(v[0])) {
        error = "the cube file lacks its list of orbitals after the atoms";
        return false;
      }
    }
    perPoint = static_cast<size_t>(v[0]);
  }
  const size_t points = cube.grid.points();
  if (static_cast<double>(points) > static_cast<double>(kMaxGridSide) * kMaxGridSide * kMaxGridSide) {
    error =
        "the cube's grid has " + std::to_string(points) + " points, more than " + std::to_string(kMaxGridSide) + "^3";
    return false;
  }
  // Each value takes at least two characters: a short file cannot hold a large grid.
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && static_cast<double>(points) * perPoint * 2 > static_cast<double>(st.st_size)) {
    error = "the cube file is too short for its " + std::to_string(points) + " points";
    return false;
  }
  try {
    cube.grid.values.reserve(points);
    size_t seen = 0;
    const size_t total = points * perPoint;
    while (seen < total && in.next(line)) {
      v.clear();
      if (!Numbers(line, v, total - seen)) {
        error = "the cube file has a value that is no number after " + std::to_string(seen) + " values";
        return false;
      }
      for (double value : v) {
        if (seen++ % perPoint == 0)
          cube.grid.values.push_back(static_cast<float>(value));
      }
    }
    if (seen < total) {
      error = "the cube file ends after " + std::to_string(seen) + " of its " + std::to_string(total) + " values";
      return false;
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the cube's " + std::to_string(points) + " points";
    return false;
  }
  return true;
}

void WriteCube(std::FILE* out, const Grid& grid, const std::vector<WfnAtom>& atoms, const std::string& comment1,
               const std::string& comment2)
{
  std::fprintf(out, "%s\n%s\n", comment1.c_str(), comment2.c_str());
  std::fprintf(out, "%5d%12.6f%12.6f%12.6f\n", static_cast<int>(atoms.size()), grid.origin[0], grid.origin[1],
               grid.origin[2]);
  for (size_t a = 0; a < 3; ++a)
    std::fprintf(out, "%5d%12.6f%12.6f%12.6f\n", grid.counts[a], grid.axes[a][0], grid.axes[a][1], grid.axes[a][2]);
  for (const WfnAtom& atom : atoms)
    std::fprintf(out, "%5d%12.6f%12.6f%12.6f%12.6f\n", atom.atomicNumber, static_cast<double>(atom.atomicNumber),
                 atom.position[0], atom.position[1], atom.position[2]);
  // "%13.5E" by hand: a million printf calls would dominate the export.
  std::string text;
  text.reserve(1 << 20);
  const size_t row = static_cast<size_t>(std::max(grid.counts[2], 1));
  for (size_t q = 0; q < grid.values.size(); ++q) {
    char buf[32];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, static_cast<double>(grid.values[q]), std::chars_format::scientific, 5).ptr;
    const size_t len = static_cast<size_t>(end - buf);
    text.append(len < 13 ? 13 - len : 1, ' ');
    for (const char* c = buf; c != end; ++c)
      text.push_back(*c == 'e' ? 'E' : *c);
    if ((q + 1) % row == 0 || ((q % row) + 1) % 6 == 0)
      text.push_back('\n');
    if (text.size() > (1 << 20) - 64) {
      std::fwrite(text.data(), 1, text.size(), out);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), out);
}

int ExportOrbitalCube(const std::string& file, const std::string& orbital, const std::string& spin, double spacing)
{
  vl::Log& log = vl::Log::standardError();
  auto fail = [&](const std::string& text) {
    log.write(text + "\n");
    return 1;
  };
  if (orbital.empty())
    return fail("--export cube needs --orbital: homo, lumo, homo-N, lumo+N, an orbital number or density");
  OrbitalChoice choice;
  std::string error;
  if (!ParseOrbitalChoice(orbital, choice, error))
    return fail(error);
  if (spin == "alpha" || spin == "beta")
    choice.spin = spin == "alpha" ? Spin::Alpha : Spin::Beta;
  else if (!spin.empty())
    return fail("Unknown spin '" + spin + "': use alpha or beta");
  log.write("File type = " + std::to_string(DetectFormat(file).code) + " \n");
  Wavefunction w;
  if (!ReadWavefunction(file, w, error))
    return fail(file + ": " + error);
  if (!w.note.empty())
    log.write(w.note + "\n");
  if (choice.spin == Spin::Beta && w.restricted())
    log.write("The wave function is restricted: beta orbitals are the alpha ones\n");
  const GridResult r = EvaluateOrbital(w, choice, spacing);
  if (!r.ok())
    return fail(file + ": " + r.error);
  char size[96];
  std::snprintf(size, sizeof size, "%d x %d x %d points, spacing %g bohr", r.grid.counts[0], r.grid.counts[1],
                r.grid.counts[2], spacing);
  log.write("Cube of the " + r.description + ": " + size + "\n");
  WriteCube(stdout, r.grid, w.atoms, file + " - " + r.description, std::string("ORBISK cube, bohr, ") + size);
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return fail("Cannot write to standard output");
  return 0;
}

} // namespace orb
