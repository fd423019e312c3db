#pragma once
// Writers of what was computed for each structure, beside the file formats' own.
#include <cstdio>
#include <optional>
#include <string>

#include "core/formats/format.h"

namespace orb {
struct Wavefunction;
}

// The lowest total energy of the list, in hartree; absent when none has one.
std::optional<double> LowestEnergy(const StructureList& structures);

// --export table: a header line, then one tab-separated line per structure.
void WriteTable(std::FILE* out, const StructureList& structures, const std::string& source);

// --export cjson: one Chemical JSON document, the last structure with every
// structure's coordinates and energies as a trajectory.
void WriteCjson(std::FILE* out, const StructureList& structures, const std::string& source);

// The same with the file's wave function (may be null): its basis and
// orbitals go in as Avogadro reads them unless CjsonOrbitalProblem finds a reason.
void WriteCjsonWithOrbitals(std::FILE* out, const StructureList& structures, const std::string& source,
                            const orb::Wavefunction* wavefunction);

// Why the wave function cannot go into the document of these structures, or
// empty: it needs contracted shells up to g on the last structure's atoms.
std::string CjsonOrbitalProblem(const orb::Wavefunction& w, const StructureList& structures);

// --export modes: the normal modes of the structure that has them, one line each.
void WriteModes(std::FILE* out, const StructureList& structures, const std::string& source);

// XYZ frames with each structure's title as its comment line.
void WriteXyzFrames(std::FILE* out, const StructureList& frames);
