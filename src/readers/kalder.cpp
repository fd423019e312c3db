#include "readers/readers.h"

int ReadKalderFile(std::string, int, StructureList&) { return -1; }
