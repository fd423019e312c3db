#pragma once
// The viewer's log: every result line goes to a log unchanged. The window's
// own lines go to standard output (Log::print); loading a file writes to the
// log its caller hands in: standard output for the window, a buffer while the
// file is read ahead, standard error for the exporter.
#include <cstdio>
#include <string>
#include <string_view>

namespace vl {

class Log {
public:
  virtual ~Log() = default;
  // Writes the text exactly as given (no prefix, no newline added).
  virtual void write(const std::string& text) = 0;

  // The standard streams, flushed after every write.
  static Log& standardOutput();
  static Log& standardError();
  // Writes to standard output.
  static void print(const std::string& text) { standardOutput().write(text); }
};

// Writes to a C stream and flushes it.
class FileLog : public Log {
public:
  explicit FileLog(std::FILE* out) : mOut(out) {}
  void write(const std::string& text) override;

private:
  std::FILE* mOut;
};

// Keeps what is written, to be printed later or inspected.
class BufferLog : public Log {
public:
  void write(const std::string& text) override { mText += text; }
  const std::string& text() const { return mText; }

private:
  std::string mText;
};

} // namespace vl
