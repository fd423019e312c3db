#include "readers/readers.h"

int CheckFileType(std::string) { return 0; }
bool ends_with(const std::string&, const std::string&) { return false; }
std::string trim(const std::string& str) { return str; }
size_t strlcpy(char*, const char* src, size_t) { return 0; }
