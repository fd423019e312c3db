// The first of the two passes at the target's size: copies the scene's
// picture and marks, in the target's depth, the pixels the second pass must
// work on (1) and those it may skip (0): a software rasteriser runs every
// branch of a shader, but it skips whole blocks that fail the depth test.
// Smoothing needs luma contrast across the pixel's sides; outlines need a
// depth jump to a side, which always comes with a change of colour there.
#version 330 core
#extension GL_ARB_texture_gather : enable
#include "post_common.glsl"
out vec4 fragColor;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy) - targetOrigin + imageOrigin;
  vec4 c = texelFetch(colorImage, p, 0);
  vec4 n = colorAt(p, ivec2(0, 1));
  vec4 s = colorAt(p, ivec2(0, -1));
  vec4 e = colorAt(p, ivec2(1, 0));
  vec4 w = colorAt(p, ivec2(-1, 0));
  bool work = false;
#ifdef ANTIALIAS
  float ln = luma(n), ls = luma(s), le = luma(e), lw = luma(w), lc = luma(c);
  work = contrasted(min(lc, min(min(ln, ls), min(le, lw))), max(lc, max(max(ln, ls), max(le, lw))));
#endif
#ifdef OUTLINES
  vec4 d = max(max(abs(n - c), abs(s - c)), max(abs(e - c), abs(w - c)));
  work = work || max(max(d.r, d.g), d.b) > 0.5 / 255.0;
#endif
  fragColor = c;
  gl_FragDepth = work ? 1.0 : 0.0;
}
