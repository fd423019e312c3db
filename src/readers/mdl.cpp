#include "readers/readers.h"

int ReadMDLMolFile(std::string, int, StructureList&) { return -1; }
