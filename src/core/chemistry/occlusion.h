#pragma once
// How open each ball of a drawing is to its surroundings: the share of
// directions from its surface that run `reach` angstrom without meeting
// another ball. A lone atom is fully open (1), one buried in a crowd hardly
// at all. Shading by it makes contacts and crevices read as depth; it is
// computed once when the drawing changes and costs nothing per frame.
#include <vector>

#include "core/model/vector.h"

std::vector<float> BallOpenness(const std::vector<vl::fvec3>& centres, const std::vector<float>& radii,
                                float reach = 2.5f);
