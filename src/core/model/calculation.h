#pragma once
// What a program printed about one structure: its energies, the method, the
// optimisation's convergence criteria and a title. A value the file does not
// give stays absent, never 0.
#include <optional>
#include <string>
#include <vector>

#include "core/model/vector.h"

namespace vl {

// One optimisation criterion as printed: the value, its threshold and the
// program's verdict (when the program prints one; otherwise value <= threshold).
struct ConvergenceCriterion {
  std::optional<double> value;
  std::optional<double> threshold;
  std::optional<bool> converged;

  // The printed verdict, else the comparison with the threshold; absent
  // when neither can be made.
  std::optional<bool> met() const
  {
    if (converged)
      return converged;
    if (value && threshold)
      return *value <= *threshold;
    return std::nullopt;
  }
};

struct Convergence {
  ConvergenceCriterion maxForce, rmsForce, maxDisplacement, rmsDisplacement;

  // Every criterion that can be judged is met; absent when none can be.
  std::optional<bool> converged() const
  {
    std::optional<bool> all;
    for (const ConvergenceCriterion* c : {&maxForce, &rmsForce, &maxDisplacement, &rmsDisplacement}) {
      const std::optional<bool> m = c->met();
      if (m)
        all = all.value_or(true) && *m;
    }
    return all;
  }
};

// One vibrational normal mode as the program printed it.
struct NormalMode {
  double frequency = 0;                // cm-1; an imaginary frequency is negative
  std::optional<double> irIntensity;   // km/mol
  std::optional<double> ramanActivity; // as printed (A^4/amu)
  std::vector<fvec3> displacement;     // one Cartesian vector per atom of the structure, in table order
};

struct Calculation {
  std::optional<double> totalEnergy; // hartree: the highest level of theory printed for this geometry
  std::optional<double> scfEnergy;   // hartree
  std::string method;                // as printed: "RB3LYP", "MP2", ...
  Convergence convergence;
  std::string title; // a frame's comment line, a record's title line
  // The structure's table ran into the end of the file: a job still writing
  // it, or a file cut short. Following a running job waits for the rest.
  bool cutShort = false;
  // The normal modes computed at this geometry, in the program's order;
  // each has a displacement for every atom of the structure.
  std::vector<NormalMode> modes;

  bool hasEnergy() const { return totalEnergy.has_value(); }
};

} // namespace vl
