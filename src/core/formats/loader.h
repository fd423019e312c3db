#pragma once
// Loading a file into the structure list: detection, the reader of its
// format, and the log lines that report it. Used by the window and the exporter.
#include <string>

#include "core/formats/format.h"

// Logs "File type = N \n", reads the file with its format's reader and
// returns the code. Readers may throw (a malformed WFN file); structures
// appended before the error stay in the list.
int LoadStructureFile(const std::string& file, StructureList& structures, vl::Log& log);

// One "New molecule: NAME - N atoms\n" line per structure, in list order.
void LogStructureList(const StructureList& structures, vl::Log& log);
