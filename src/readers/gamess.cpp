#include "readers/readers.h"

int ReadGamessFile(std::string, int, StructureList&) { return -1; }
