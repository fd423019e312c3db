#pragma once
// Loading a file into the structure list: detection, the reader for its type,
// and the log lines that report it. Used by the window and the exporter.
#include <string>

#include "core/formats/readers.h"

// Logs "File type = N \n", runs the reader(s) for the type and returns the
// type. Readers may throw (a malformed WFN file); structures appended before
// the error stay in the list.
int LoadStructureFile(const std::string& file, StructureList& structures);

// One "New molecule: NAME - N atoms\n" line per structure, in list order.
void LogStructureList(const StructureList& structures);
