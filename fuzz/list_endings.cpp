// Prints the file-name endings of the format table, one per line without the
// dot, then "code<N>" for each format found by its content alone, then
// "none": the fuzz targets scripts/fuzz runs.
#include <cstdio>

#include "core/formats/format.h"

int main()
{
  for (const FileFormat* format : FileFormats())
    for (std::string_view ending : format->endings)
      std::printf("%.*s\n", static_cast<int>(ending.size() - 1), ending.data() + 1);
  for (const FileFormat* format : FileFormats())
    if (format->endings.empty() && format->read)
      std::printf("code%d\n", format->code);
  std::puts("none");
}
