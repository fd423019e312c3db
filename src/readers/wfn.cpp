#include "readers/readers.h"

int ReadWfnInpFile(std::string, int, StructureList&) { return -1; }
