#include "readers/readers.h"

int ReadCfourLogFile(std::string, int, StructureList&) { return -1; }
