#pragma once
// The viewer's log: every result line goes here, unchanged.
#include <cstdio>
#include <string>

namespace vl {

class Log {
public:
  // Writes the text exactly as given (no prefix, no newline added) and flushes.
  static void print(const std::string& text);
  // Where print() writes: standard output unless redirected (the exporter
  // sends the log to standard error so that standard output stays data).
  static void setOutput(std::FILE* out);
  static std::FILE* output();
};

} // namespace vl
