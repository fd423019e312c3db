#pragma once
// What the viewer keeps about the orbitals it shows.
#include <memory>
#include <string>
#include <vector>

#include "app/molapp.h"
#include "core/orbitals/grid.h"

namespace vl {
class Text;
} // namespace vl

struct MolApplet::OrbitalView {
  std::string file;               // the file the wave function was read from
  bool read = false;              // reading was tried
  orb::Wavefunction wavefunction; // valid when `problem` is empty
  std::string problem;            // why there is none
  std::vector<orb::OrbitalInfo> list;
  int position = -1; // -1 nothing, 0 the density, k the list's orbital k - 1
  bool showList = false;
  bool translucent = false;
  double orbitalIso = 0.05, densityIso = 0.002; // a.u.
  orb::Grid grid;                               // the chosen one's values
  vl::ref<vl::Text> text;
};
