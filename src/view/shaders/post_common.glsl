// Shared by the passes that copy the scene's picture into the target: the
// textures it was drawn into, where the target's pixels fall in them, the
// contrast that calls for smoothing and the outline test.
uniform sampler2D colorImage;
uniform sampler2D depthImage;
uniform vec2 texelSize;    // of both images
uniform ivec2 targetOrigin;
uniform ivec2 imageOrigin; // the texel under the target's first pixel drawn
uniform vec2 nearFar;      // of the projection the scene was drawn with
uniform float jump;        // a silhouette's depth step, as a fraction of the distance
uniform vec4 outlineColor;

// Below this luma contrast across a pixel's sides (or an eighth of the
// brightest luma there) it is not smoothed: flat colour and smooth shading
// stay exact.
const float MIN_CONTRAST = 0.05;
const float RELATIVE_CONTRAST = 0.125;

// The texel `offset` from p, the nearest inside the image beyond its edge.
vec4 colorAt(ivec2 p, ivec2 offset) {
  return texelFetch(colorImage, clamp(p + offset, ivec2(0), textureSize(colorImage, 0) - 1), 0);
}

float luma(vec4 c) {
  return dot(c.rgb, vec3(0.299, 0.587, 0.114));
}

bool contrasted(float lo, float hi) {
  return hi - lo >= max(MIN_CONTRAST, hi * RELATIVE_CONTRAST);
}

// The four depths around the corner at uv, as textureGather orders them:
// (-,+), (+,+), (+,-), (-,-) from the corner.
vec4 depthsAround(vec2 uv) {
#ifdef GL_ARB_texture_gather
  return textureGather(depthImage, uv);
#else
  ivec2 p = ivec2(floor(uv / texelSize - 0.5));
  ivec2 last = textureSize(depthImage, 0) - 1;
  return vec4(texelFetch(depthImage, clamp(p + ivec2(0, 1), ivec2(0), last), 0).r,
              texelFetch(depthImage, clamp(p + ivec2(1, 1), ivec2(0), last), 0).r,
              texelFetch(depthImage, clamp(p + ivec2(1, 0), ivec2(0), last), 0).r,
              texelFetch(depthImage, clamp(p, ivec2(0), last), 0).r);
#endif
}

// The depth-buffer value below which a neighbour stands in front of a
// sample of depth d by more than the jump: one conversion per sample, none
// per neighbour. The background (1) lies on the far plane.
float frontOf(float d) {
  float n = nearFar.x, f = nearFar.y;
  float z = 2.0 * n * f / (f + n - (2.0 * d - 1.0) * (f - n)) / (1.0 + jump);
  return 0.5 * ((f + n) / (f - n) - 2.0 * f * n / ((f - n) * z)) + 0.5;
}
vec4 frontOf(vec4 d) {
  return vec4(frontOf(d.x), frontOf(d.y), frontOf(d.z), frontOf(d.w));
}
