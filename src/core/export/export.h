#pragma once
// Writing the structure list for other programs (orbisk --export FORMAT FILE).
#include <string>
#include <vector>

// The names --export accepts: the formats of the table that have a writer,
// the result writers, and cube.
std::vector<std::string> ExportFormatNames();

// --export cube: what goes on the grid (--orbital, --spin, --grid-spacing).
struct OrbitalExport {
  std::string orbital;  // homo, lumo, homo-N, lumo+N, a number or density; empty: none asked for
  std::string spin;     // alpha, beta or empty
  double spacing = 0.2; // bohr
};

// Loads the file as the viewer would (log on standard error), writes the
// structures to standard output in the named format and returns the exit
// status: 0 when at least one structure was written, 1 otherwise (also after
// a reader error, once the structures read before it are written).
// `mode` (1-based, 0 for none) with xyz writes twenty frames of that
// normal mode's motion over one period instead. With format cube, the
// orbital or density of `orbital` goes out as a Gaussian cube instead.
int ExportStructures(const std::string& file, const std::string& format, int mode = 0,
                     const OrbitalExport& orbital = {});
