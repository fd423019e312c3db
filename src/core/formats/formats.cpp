#include "core/formats/format.h"

// Every format, one line each, in detection order: the content scan tries
// their signatures in this order, and the name-ending checks run first.
#define ORBISK_FORMATS(X)                                                                                              \
  X(kKalderFormat)                                                                                                     \
  X(kGaussianFormat)                                                                                                   \
  X(kGamessFormat)                                                                                                     \
  X(kPrirodaFormat)                                                                                                    \
  X(kCfourFormat)                                                                                                      \
  X(kWfnFormat)                                                                                                        \
  X(kXyzFormat)                                                                                                        \
  X(kMdlFormat)                                                                                                        \
  X(kOrcaFormat)                                                                                                       \
  X(kQChemFormat)                                                                                                      \
  X(kPsi4Format)                                                                                                       \
  X(kNWChemFormat)                                                                                                     \
  X(kMolproFormat)                                                                                                     \
  X(kXtbFormat)                                                                                                        \
  X(kFchkFormat)                                                                                                       \
  X(kMoldenFormat)                                                                                                     \
  X(kCubeFormat)

#define ORBISK_DECLARE_FORMAT(entry) extern const FileFormat entry;
ORBISK_FORMATS(ORBISK_DECLARE_FORMAT)

const std::vector<const FileFormat*>& FileFormats()
{
#define ORBISK_LIST_FORMAT(entry) &entry,
  static const std::vector<const FileFormat*> formats{ORBISK_FORMATS(ORBISK_LIST_FORMAT)};
  return formats;
}

const FileFormat* FindFormat(int code)
{
  for (const FileFormat* format : FileFormats())
    if (format->code == code)
      return format;
  return nullptr;
}
