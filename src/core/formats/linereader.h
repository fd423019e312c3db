#pragma once
// Line-by-line reading with std::getline's rules ('\n' ends a line and is
// dropped, a '\r' before it stays, a last line without '\n' still counts)
// but without a string copy per line.
#include <string>
#include <string_view>

class LineReader {
public:
  explicit LineReader(const std::string& file);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, valid until the next call; false at the end of the file,
  // on a read error, or when the file could not be opened.
  bool next(std::string_view& line);
  // Skips up to n lines; false when the file ended first.
  bool skip(int n);
  // True once next() has found no line left: whatever was being read ran into
  // the end of the file.
  bool exhausted() const { return mExhausted; }

private:
  bool fill();
  int mFd = -1;
  std::string mBuffer;
  size_t mBegin = 0; // first unread byte in mBuffer
  size_t mEnd = 0;   // end of valid bytes in mBuffer
  bool mEof = false;
  bool mExhausted = false;
};
