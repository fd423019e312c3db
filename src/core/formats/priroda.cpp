// Priroda output: recognised, so that it is not mistaken for another
// program's output, but not read.
#include "core/formats/format.h"

extern const FileFormat kPrirodaFormat;
const FileFormat kPrirodaFormat = ContentFormat(FT_Priroda, "Priroda output",
                                                {
                                                    {{"program  Priroda"}},
                                                },
                                                nullptr);
