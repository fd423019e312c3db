// The second pass at the target's size, on the pixels the first marked:
// jagged edges smoothed along their direction, found by the luma contrast
// across the pixel's sides (after FXAA's cheap form), and outlines on the
// far side of depth jumps. A pixel without either comes out as the first
// pass copied it, so the result does not depend on the marks.
#version 330 core
#extension GL_ARB_texture_gather : enable
#include "post_common.glsl"
out vec4 fragColor;

const float MAX_REACH = 8.0; // pixels, along the edge

vec4 smoothEdge(ivec2 p, vec2 uv, vec4 centre) {
  float n = luma(colorAt(p, ivec2(0, 1)));
  float s = luma(colorAt(p, ivec2(0, -1)));
  float e = luma(colorAt(p, ivec2(1, 0)));
  float w = luma(colorAt(p, ivec2(-1, 0)));
  float c = luma(centre);
  float lo = min(c, min(min(n, s), min(e, w)));
  float hi = max(c, max(max(n, s), max(e, w)));
  // The edge runs square to the luma gradient; the shorter component sets
  // the scale, so a nearly straight edge is followed farther.
  vec2 along = vec2(s - n, e - w);
  float damp = max((n + s + e + w) * (0.25 / 8.0), 1.0 / 128.0);
  along = clamp(along / (min(abs(along.x), abs(along.y)) + damp), -MAX_REACH, MAX_REACH) * texelSize;
  vec4 inner = 0.5 * (textureLod(colorImage, uv - along / 6.0, 0.0) + textureLod(colorImage, uv + along / 6.0, 0.0));
  vec4 outer = 0.5 * inner + 0.25 * (textureLod(colorImage, uv - along * 0.5, 0.0) +
                                     textureLod(colorImage, uv + along * 0.5, 0.0));
  // The outer mean may reach past the edge's end into other colours.
  float l = luma(outer);
  vec4 smoothed = l < lo || l > hi ? inner : outer;
  return contrasted(lo, hi) ? smoothed : centre;
}

// A neighbour across a side in front by a jump puts the pixel on the line.
float outline(vec2 uv) {
  vec4 a = depthsAround(uv - 0.5 * texelSize); // left, centre, below, lower left
  vec4 b = depthsAround(uv + 0.5 * texelSize); // above, upper right, right, centre
  vec4 front = vec4(frontOf(a.y));
  return min(dot(vec4(lessThan(a, front)), vec4(1.0, 0.0, 1.0, 0.0)) +
                 dot(vec4(lessThan(b, front)), vec4(1.0, 0.0, 1.0, 0.0)),
             1.0);
}

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy) - targetOrigin + imageOrigin;
  vec2 uv = (vec2(p) + 0.5) * texelSize;
  vec4 color = texelFetch(colorImage, p, 0);
#ifdef ANTIALIAS
  color = smoothEdge(p, uv, color);
#endif
#ifdef OUTLINES
  color = mix(color, outlineColor, outline(uv));
#endif
  fragColor = color;
}
