// Ray against the cylinder and its ends: flat (ball-and-stick) or round
// (sticks); each half takes its atom's colour.
#version 330 core
#include "depth_greater.glsl"
#include "impostor_common.glsl"

in vec3 vPos;
flat in vec3 vP0;
flat in vec3 vP1;
flat in float vRadius;
flat in vec3 vColor0;
flat in vec3 vColor1;
flat in vec2 vOpen;
uniform bool roundCaps;
out vec4 fragColor;
const float NO_HIT = 3.0e38;
float sphereHit(vec3 ro, vec3 rd, vec3 c, float r) {
  vec3 oc = ro - c;
  float b = dot(oc, rd);
  vec3 q = oc - b * rd;
  float disc = r * r - dot(q, q);
  return disc < 0.0 ? NO_HIT : -b - sqrt(disc);
}
void main() {
  vec3 ro, rd;
  eyeRay(vPos, ro, rd);
  vec3 axisVec = vP1 - vP0;
  float len = length(axisVec);
  vec3 u = axisVec / len;
  vec3 oc = ro - vP0;
  vec3 dPerp = rd - dot(rd, u) * u;
  vec3 ocPerp = oc - dot(oc, u) * u;
  float a = dot(dPerp, dPerp);
  float best = NO_HIT;
  vec3 n = vec3(0.0);
  if (a > 1e-12) {
    float b = dot(dPerp, ocPerp);
    float c = dot(ocPerp, ocPerp) - vRadius * vRadius;
    float disc = b * b - a * c;
    if (disc >= 0.0) {
      float t = (-b - sqrt(disc)) / a;
      float s = dot(oc + t * rd, u);
      if (s >= 0.0 && s <= len) {
        best = t;
        n = normalize(ocPerp + t * dPerp);
      }
    }
  }
  if (roundCaps) {
    float t0 = sphereHit(ro, rd, vP0, vRadius);
    if (t0 < best) { best = t0; n = (ro + t0 * rd - vP0) / vRadius; }
    float t1 = sphereHit(ro, rd, vP1, vRadius);
    if (t1 < best) { best = t1; n = (ro + t1 * rd - vP1) / vRadius; }
  } else {
    float du = dot(rd, u);
    if (abs(du) > 1e-8) {
      float t0 = dot(vP0 - ro, u) / du;
      vec3 h0 = ro + t0 * rd - vP0;
      if (t0 < best && dot(h0, h0) <= vRadius * vRadius) { best = t0; n = -u; }
      float t1 = dot(vP1 - ro, u) / du;
      vec3 h1 = ro + t1 * rd - vP1;
      if (t1 < best && dot(h1, h1) <= vRadius * vRadius) { best = t1; n = u; }
    }
  }
  if (best == NO_HIT) discard;
  vec3 p = ro + best * rd;
  if (!writeDepth(p)) discard;
  // Split at the midpoint with a sharp edge; each half takes its atom's colour.
  bool first = dot(p - vP0, u) < 0.5 * len;
  fragColor = vec4(shade(first ? vColor0 : vColor1, n, p, rd, first ? vOpen.x : vOpen.y), 1.0);
}
