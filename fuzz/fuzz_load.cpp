// Loads arbitrary bytes as a file with one name ending: detection, then
// whichever reader the content selects. One target serves every ending of
// the format table: it takes the ending from its own name (fuzz_xyz reads
// as .xyz, fuzz_none with no ending). fuzz_code<N> hands the bytes straight
// to the reader of format N: random bytes seldom carry a program's banner,
// so this reaches the readers of content-detected formats directly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

#include "core/formats/loader.h"

namespace {

std::string ending;
const FileFormat* direct = nullptr; // fuzz_code<N>: this reader, no detection

std::string inputPath()
{
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/orbisk-fuzz-" + std::to_string(getpid()) + ending;
  }();
  return path;
}

class DiscardLog : public vl::Log {
public:
  void write(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
  const std::string self = *argc > 0 ? (*argv)[0] : "";
  const size_t cut = self.rfind("fuzz_");
  const std::string name = cut == std::string::npos ? "none" : self.substr(cut + 5);
  if (name.rfind("code", 0) == 0) {
    direct = FindFormat(std::atoi(name.c_str() + 4));
    return 0;
  }
  ending = name == "none" ? "" : "." + name;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string path = inputPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  DiscardLog log;
  StructureList structures;
  try {
    if (direct && direct->read)
      direct->read(path, direct->code, structures, log);
    else
      LoadStructureFile(path, structures, log);
  } catch (const std::exception&) {
    // Readers may reject a malformed file with an exception; that is a clean outcome.
  }
  return 0;
}
