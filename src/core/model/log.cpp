#include "core/model/log.h"

namespace vl {

void FileLog::write(const std::string& text)
{
  std::fwrite(text.data(), 1, text.size(), mOut);
  std::fflush(mOut);
}

Log& Log::standardOutput()
{
  static FileLog log(stdout);
  return log;
}

Log& Log::standardError()
{
  static FileLog log(stderr);
  return log;
}

} // namespace vl
