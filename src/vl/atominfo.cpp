#include "vl/atominfo.h"

namespace vl {

EAtomType atomType(std::string_view) { return AT_Unknown; }

const AtomInfo& atomInfo(EAtomType)
{
  static const AtomInfo unknown{-1, "", "Unknown", fvec4(0.98f, 0.09f, 0.57f, 1.0f), 1.5f, 0.5};
  return unknown;
}

} // namespace vl
