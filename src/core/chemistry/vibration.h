#pragma once
// Motion along a normal mode: the displacement with the centre of mass held
// still, its scale, and the structure at a phase of the vibration.
#include <vector>

#include "core/model/molecule.h"

// Standard atomic weight (g/mol) by atomic number; 0 for an unknown element.
double AtomicMass(int atomicNumber);

// The mode's displacement per atom with the mass-weighted mean taken away,
// so that the centre of mass does not move. Empty when the mode does not
// have one vector per atom of the structure.
std::vector<vl::fvec3> CentredDisplacement(const vl::Molecule& structure, const vl::NormalMode& mode);

// The amplitude (a factor on the displacement) that moves the atom that
// moves most by `largest` angstrom; 0 for a mode that moves nothing.
double DefaultAmplitude(const std::vector<vl::fvec3>& displacement, double largest = 0.3);

// The atom positions at `phase` (radians) of the vibration: x + a sin(phase) d.
std::vector<vl::fvec3> ModePositions(const vl::Molecule& structure, const std::vector<vl::fvec3>& displacement,
                                     double amplitude, double phase);

// The structure whose modes the window and the exports use: the last one that has any; null when none has.
const vl::Molecule* StructureWithModes(const std::vector<vl::ref<vl::Molecule>>& structures);
