#pragma once
// Gaussian cube files: two comment lines, the atom count and origin, three
// axis lines (count and step; a negative count means angstrom), one line per
// atom (atomic number, charge, position), then the values with z fastest.
#include <cstdio>
#include <string>
#include <vector>

#include "core/model/wavefunction.h"
#include "core/orbitals/grid.h"

namespace orb {

struct Cube {
  std::string comment[2];
  std::vector<WfnAtom> atoms; // bohr
  std::vector<double> charges;
  Grid grid; // bohr; the first value set when the file holds several
};

// Reads the whole cube. False, with the reason in `error`, for a malformed
// or truncated file or a grid of more than kMaxGridSide^3 points.
bool ReadCube(const std::string& file, Cube& cube, std::string& error);

// Writes the grid in bohr, six values a line, each z row starting a line.
void WriteCube(std::FILE* out, const Grid& grid, const std::vector<WfnAtom>& atoms, const std::string& comment1,
               const std::string& comment2);

// orbisk --export cube --orbital WHICH [--spin alpha|beta] [--grid-spacing H]
// FILE: the cube on standard output, the log on standard error. Returns the
// exit status (1 with a message for a bad choice, a file without orbitals ...).
int ExportOrbitalCube(const std::string& file, const std::string& orbital, const std::string& spin, double spacing);

} // namespace orb
