#pragma once
// Writers of what was computed for each structure, beside the file formats' own.
#include <cstdio>
#include <optional>
#include <string>

#include "core/formats/format.h"

// The lowest total energy of the list, in hartree; absent when none has one.
std::optional<double> LowestEnergy(const StructureList& structures);

// --export table: a header line, then one tab-separated line per structure.
void WriteTable(std::FILE* out, const StructureList& structures, const std::string& source);

// --export cjson: one Chemical JSON document, the last structure with every
// structure's coordinates and energies as a trajectory.
void WriteCjson(std::FILE* out, const StructureList& structures, const std::string& source);

// --export modes: the normal modes of the structure that has them, one line each.
void WriteModes(std::FILE* out, const StructureList& structures, const std::string& source);

// XYZ frames with each structure's title as its comment line.
void WriteXyzFrames(std::FILE* out, const StructureList& frames);
