#include "core/model/log.h"

namespace vl {

namespace {
std::FILE* gOutput = nullptr;
}

void Log::setOutput(std::FILE* out) { gOutput = out; }

std::FILE* Log::output() { return gOutput ? gOutput : stdout; }

void Log::print(const std::string& text)
{
  std::FILE* out = output();
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

} // namespace vl
