#pragma once
// What kind of thing a file name names, checked without blocking: a named
// pipe would block an open until someone writes to it.
#include <string>

enum class InputFileKind { Regular, Missing, Directory, Other };

InputFileKind CheckInputFile(const std::string& file);

// The message for a name that cannot be read as a file, or "" when it can be
// opened for reading. Starts with "Cannot open file '<file>'", ends with a line break.
std::string InputFileProblem(const std::string& file);
