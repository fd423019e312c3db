// The scene drawn at twice the target's size: each target pixel is the mean
// of its 2 x 2 block of samples, which the filter gives in one lookup at the
// block's middle. Outlines cover the pixel as far as its samples lie behind
// a neighbour two samples away (a target pixel's width), so they come out
// smoothed too.
#version 330 core
#extension GL_ARB_texture_gather : enable
#include "post_common.glsl"
out vec4 fragColor;

void main() {
  ivec2 p = (ivec2(gl_FragCoord.xy) - targetOrigin) * 2 + imageOrigin;
  vec2 uv = (vec2(p) + 1.0) * texelSize;
  vec4 color = textureLod(colorImage, uv, 0.0);
#ifdef OUTLINES
  // The block's four samples and, in the same order, the blocks beside it.
  vec4 here = depthsAround(uv);
  vec4 front = frontOf(here);
  vec4 behind = max(max(vec4(lessThan(depthsAround(uv + vec2(2.0, 0.0) * texelSize), front)),
                        vec4(lessThan(depthsAround(uv - vec2(2.0, 0.0) * texelSize), front))),
                    max(vec4(lessThan(depthsAround(uv + vec2(0.0, 2.0) * texelSize), front)),
                        vec4(lessThan(depthsAround(uv - vec2(0.0, 2.0) * texelSize), front))));
  color = mix(color, outlineColor, dot(behind, vec4(0.25)));
#endif
  fragColor = color;
}
