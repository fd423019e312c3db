// Loads arbitrary bytes as a file with a fixed name ending: detection, then
// whichever reader the content selects.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

#include "core/formats/loader.h"
#include "core/model/log.h"

namespace {

std::string inputPath()
{
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/orbisk-fuzz-" + std::to_string(getpid()) + FUZZ_ENDING;
  }();
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static std::FILE* sink = [] {
    std::FILE* f = std::fopen("/dev/null", "w");
    vl::Log::setOutput(f);
    return f;
  }();
  (void)sink;

  const std::string path = inputPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  StructureList structures;
  try {
    LoadStructureFile(path, structures);
  } catch (const std::exception&) {
    // Readers may reject a malformed file with an exception; that is a clean outcome.
  }
  return 0;
}
