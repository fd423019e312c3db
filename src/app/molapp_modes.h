#pragma once
// What the viewer keeps about the normal modes it shows.
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QTimer>

#include "app/molapp.h"

namespace vl {
class Plot;
class Text;
} // namespace vl

struct MolApplet::ModeView {
  vl::Molecule* structure = nullptr;   // the structure the modes belong to, in the list
  std::vector<int> order;              // its modes in the list's order: imaginary first, then by frequency
  std::vector<vl::fvec3> rest;         // the atoms at rest while a mode plays
  std::vector<vl::fvec3> displacement; // the chosen mode's, with the centre of mass still
  double amplitude = 0;                // a factor on the displacement
  std::unique_ptr<QTimer> timer;       // only while a mode plays
  QElapsedTimer clock;
  bool showList = false, showArrows = false, showSpectrum = false;
  double lineWidth = 10; // cm-1: the full width at half height of each broadened line
  vl::ref<vl::Text> list;
  vl::ref<vl::Plot> spectrum;
  std::vector<int> spectrumPositions; // the list position of each stick
};
