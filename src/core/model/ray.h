#pragma once
// A ray in world coordinates, for picking.
#include "core/model/vector.h"

namespace vl {

struct Ray {
  fvec3 origin;
  fvec3 direction; // unit length
};

} // namespace vl
