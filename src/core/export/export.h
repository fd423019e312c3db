#pragma once
// Writing the structure list for other programs (orbisk --export FORMAT FILE).
#include <cstdio>
#include <string>

#include "core/formats/readers.h"

// Writes every structure as XYZ frames; the comment of frame k of N reads
// "<source> <k>/<N>".
void WriteXyz(std::FILE* out, const StructureList& structures, const std::string& source);
// Writes every structure as an SD record (V2000, V3000 beyond 999 atoms or bonds).
void WriteSdf(std::FILE* out, const StructureList& structures, const std::string& source);

// Loads the file as the viewer would (log on standard error), writes the
// structures to standard output in the format ("xyz" or "sdf") and returns
// the exit status: 0 when at least one structure was written, 1 otherwise
// (also after a reader error, once the structures read before it are written).
int ExportStructures(const std::string& file, const std::string& format);
