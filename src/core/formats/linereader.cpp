#include "core/formats/linereader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kChunk = 1 << 16; // grows by doubling for long lines
}

LineReader::LineReader(const std::string& file)
{
  // Only regular files are read: opening a named pipe blocks until someone
  // writes to it, and a device such as /dev/zero is one endless line.
  // O_NONBLOCK keeps the open itself from waiting; the check then comes
  // from the opened file, so it cannot change in between.
  mFd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (mFd >= 0 && (::fstat(mFd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(mFd);
    mFd = -1;
  }
  if (mFd < 0)
    mEof = true;
}

LineReader::~LineReader()
{
  if (mFd >= 0)
    ::close(mFd);
}

bool LineReader::fill()
{
  if (mEof)
    return false;
  // Keep the unread tail, then read behind it.
  if (mBegin > 0) {
    std::memmove(mBuffer.data(), mBuffer.data() + mBegin, mEnd - mBegin);
    mEnd -= mBegin;
    mBegin = 0;
  }
  if (mBuffer.size() - mEnd < kChunk)
    mBuffer.resize(std::max(mBuffer.size() * 2, mEnd + kChunk));
  for (;;) {
    ssize_t got = ::read(mFd, mBuffer.data() + mEnd, mBuffer.size() - mEnd);
    if (got > 0) {
      mEnd += static_cast<size_t>(got);
      return true;
    }
    if (got < 0 && errno == EINTR)
      continue;
    mEof = true; // end of file, or an error such as reading a directory
    return false;
  }
}

bool LineReader::next(std::string_view& line)
{
  size_t searchFrom = mBegin;
  for (;;) {
    const char* base = mBuffer.data();
    const void* nl = mEnd > searchFrom ? std::memchr(base + searchFrom, '\n', mEnd - searchFrom) : nullptr;
    if (nl) {
      size_t pos = static_cast<size_t>(static_cast<const char*>(nl) - base);
      line = std::string_view(base + mBegin, pos - mBegin);
      mBegin = pos + 1;
      return true;
    }
    size_t scanned = mEnd - mBegin;
    if (!fill()) {
      if (mEnd > mBegin) {
        line = std::string_view(mBuffer.data() + mBegin, mEnd - mBegin);
        mBegin = mEnd;
        return true;
      }
      mExhausted = true;
      return false;
    }
    searchFrom = mBegin + scanned;
  }
}

bool LineReader::skip(int n)
{
  std::string_view line;
  for (int i = 0; i < n; ++i)
    if (!next(line))
      return false;
  return true;
}
