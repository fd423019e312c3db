// Ray-sphere intersection, depth and shading per pixel.
#version 330 core
#include "depth_greater.glsl"
#include "impostor_common.glsl"

in vec3 vPos;
flat in vec3 vCenter;
flat in float vRadius;
flat in vec3 vColor;
flat in float vOpen;
out vec4 fragColor;
void main() {
  vec3 ro, rd;
  eyeRay(vPos, ro, rd);
  vec3 oc = ro - vCenter;
  float b = dot(oc, rd);
  vec3 q = oc - b * rd;  // closest approach; better conditioned than b^2 - c
  float disc = vRadius * vRadius - dot(q, q);
  if (disc < 0.0) discard;
  float t = -b - sqrt(disc);
  vec3 p = ro + t * rd;
  if (!writeDepth(p)) discard;
  fragColor = vec4(shade(vColor, (p - vCenter) / vRadius, p, rd, vOpen), 1.0);
}
