#pragma once
// Writing the structure list for other programs (orbisk --export FORMAT FILE).
#include <string>
#include <vector>

// The names --export accepts: the formats of the table that have a writer.
std::vector<std::string> ExportFormatNames();

// Loads the file as the viewer would (log on standard error), writes the
// structures to standard output in the named format and returns the exit
// status: 0 when at least one structure was written, 1 otherwise (also after
// a reader error, once the structures read before it are written).
// `mode` (1-based, 0 for none) with xyz writes twenty frames of that
// normal mode's motion over one period instead.
int ExportStructures(const std::string& file, const std::string& format, int mode = 0);
