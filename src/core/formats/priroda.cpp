// Priroda output: recognised, so that it is not mistaken for another
// program's output, but not read.
#include "core/formats/format.h"

extern const FileFormat kPrirodaFormat;
const FileFormat kPrirodaFormat = [] {
  FileFormat f;
  f.code = FT_Priroda;
  f.name = "Priroda output";
  f.signature = {
      {{"program  Priroda"}},
  };
  f.read = nullptr;
  return f;
}();
