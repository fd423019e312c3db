#pragma once
// GLSL for the molecule renderer. Everything works in view space: the eye is
// at the origin looking down -z (perspective) or along -z from the plane z = 0
// (orthographic, where rays may start behind the geometry; the depth-range
// test in the fragment shaders decides what is kept).

namespace vl::shaders {

// Shared by the sphere and cylinder fragment shaders: ray set-up, depth and
// the headlight. Ambient is 0.2 of the colour, so a surface facing the eye
// shows exactly the atom's colour.
#define ORBISK_IMPOSTOR_COMMON                                                     \
  "uniform mat4 projection;\n"                                                     \
  "uniform bool orthographic;\n"                                                   \
  "void eyeRay(vec3 pos, out vec3 ro, out vec3 rd) {\n"                            \
  "  if (orthographic) { ro = vec3(pos.xy, 0.0); rd = vec3(0.0, 0.0, -1.0); }\n"   \
  "  else { ro = vec3(0.0); rd = normalize(pos); }\n"                              \
  "}\n"                                                                            \
  "bool writeDepth(vec3 p) {\n"                                                    \
  "  vec4 clip = projection * vec4(p, 1.0);\n"                                     \
  "  if (clip.w <= 0.0) return false;\n"                                           \
  "  float z = clip.z / clip.w;\n"                                                 \
  "  if (z < -1.0 || z > 1.0) return false;\n"                                     \
  "  gl_FragDepth = 0.5 * (gl_DepthRange.diff * z + gl_DepthRange.near + gl_DepthRange.far);\n" \
  "  return true;\n"                                                               \
  "}\n"                                                                            \
  "vec3 shade(vec3 color, vec3 n, vec3 rd) {\n"                                    \
  "  float lambert = max(dot(n, -rd), 0.0);\n"                                     \
  "  return color * (0.2 + 0.8 * lambert);\n"                                      \
  "}\n"

inline const char* sphereVertex = R"(#version 330 core
layout(location = 1) in vec4 centerRadius;
layout(location = 2) in vec4 color;
uniform mat4 view;
uniform mat4 projection;
uniform float viewScale;
uniform bool orthographic;
out vec3 vPos;
flat out vec3 vCenter;
flat out float vRadius;
flat out vec3 vColor;
// Every instance is four vertices in a row (an index buffer makes the two
// triangles): bit 0 of the vertex index picks x, bit 1 picks y.
vec2 quadCorner() {
  return vec2((gl_VertexID & 1) != 0 ? 1.0 : -1.0, (gl_VertexID & 2) != 0 ? 1.0 : -1.0);
}
void main() {
  vec2 corner = quadCorner();
  vec3 c = (view * vec4(centerRadius.xyz, 1.0)).xyz;
  float r = centerRadius.w * viewScale;
  vec3 axis = vec3(0.0, 0.0, 1.0);
  float h = r;
  if (!orthographic) {
    float d = length(c);
    if (d <= r * 1.0001) { // eye inside the sphere: nothing sensible to show
      gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
      return;
    }
    // A quad on the tangent plane nearest the eye, square to the eye ray: the
    // tangent cone cuts it in a circle of radius (d - r) r / sqrt(d^2 - r^2).
    // Lying in front of the whole sphere, it lets the depth test reject
    // hidden fragments before the ray cast (see depth_greater).
    axis = -c / d;
    h = (d - r) * r / sqrt(d * d - r * r);
  }
  vec3 up0 = abs(axis.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
  vec3 right = normalize(cross(up0, axis));
  vec3 up = cross(axis, right);
  vPos = c + axis * r + (right * corner.x + up * corner.y) * h;
  vCenter = c;
  vRadius = r;
  vColor = color.rgb;
  gl_Position = projection * vec4(vPos, 1.0);
}
)";

// The drawn geometry lies in front of the surface, so the depth written is
// never less than the rasterised one.
#define ORBISK_DEPTH_GREATER                                                       \
  "#extension GL_ARB_conservative_depth : enable\n"                               \
  "#ifdef GL_ARB_conservative_depth\n"                                            \
  "layout(depth_greater) out float gl_FragDepth;\n"                               \
  "#endif\n"

inline const char* sphereFragment = "#version 330 core\n" ORBISK_DEPTH_GREATER ORBISK_IMPOSTOR_COMMON R"(
in vec3 vPos;
flat in vec3 vCenter;
flat in float vRadius;
flat in vec3 vColor;
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
  fragColor = vec4(shade(vColor, (p - vCenter) / vRadius, rd), 1.0);
}
)";

// Each cylinder is one screen-space rectangle around the projection of its
// capsule (the hull of its two end balls), lying on the view plane through
// the capsule's nearest point. Two triangles and a tight fit matter on a
// software rasteriser, which shades whole pixel blocks per triangle.
inline const char* cylinderVertex = R"(#version 330 core
layout(location = 1) in vec4 p0Radius;
layout(location = 2) in vec3 p1;
layout(location = 3) in vec4 color0;
layout(location = 4) in vec4 color1;
uniform mat4 view;
uniform mat4 projection;
uniform mat4 inverseProjection;
uniform vec2 viewportSize;
uniform float viewScale;
uniform bool orthographic;
out vec3 vPos;
flat out vec3 vP0;
flat out vec3 vP1;
flat out float vRadius;
flat out vec3 vColor0;
flat out vec3 vColor1;

// Every instance is four vertices in a row (an index buffer makes the two
// triangles): bit 0 of the vertex index picks x, bit 1 picks y.
vec2 quadCorner() {
  return vec2((gl_VertexID & 1) != 0 ? 1.0 : -1.0, (gl_VertexID & 2) != 0 ? 1.0 : -1.0);
}

vec2 toPixels(vec3 p) {
  vec4 clip = projection * vec4(p, 1.0);
  return clip.xy / clip.w * 0.5 * viewportSize;
}

// Corners of the quad that covers a ball's projection (as for the spheres).
void ballCorners(vec3 c, float r, out vec3 q[4]) {
  float d = length(c);
  vec3 axis = -c / d;
  float h = (d - r) * r / sqrt(d * d - r * r);
  vec3 up0 = abs(axis.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
  vec3 right = normalize(cross(up0, axis)) * h;
  vec3 up = cross(axis, right);
  vec3 m = c + axis * r;
  q[0] = m - right - up;
  q[1] = m + right - up;
  q[2] = m - right + up;
  q[3] = m + right + up;
}

void main() {
  vec2 corner = quadCorner();
  vec3 a = (view * vec4(p0Radius.xyz, 1.0)).xyz;
  vec3 b = (view * vec4(p1, 1.0)).xyz;
  float r = p0Radius.w * viewScale;
  vP0 = a;
  vP1 = b;
  vRadius = r;
  vColor0 = color0.rgb;
  vColor1 = color1.rgb;

  float zNearest = max(a.z, b.z) + r;
  float zFarthest = min(a.z, b.z) - r;
  vec2 halfViewport = 0.5 * viewportSize;
  vec2 pa = toPixels(a), pb = toPixels(b);
  vec2 dir = pb - pa;
  float len = length(dir);
  dir = len > 1e-3 ? dir / len : vec2(1.0, 0.0);
  vec2 perp = vec2(-dir.y, dir.x);
  vec2 lo, hi;  // extents along dir and perp, in pixels
  bool fullScreen = false;
  float planeZ = zNearest;

  if (orthographic) {
    float rr = r * max(abs(projection[0][0]) * halfViewport.x, abs(projection[1][1]) * halfViewport.y);
    vec2 ea = vec2(dot(pa, dir), dot(pa, perp)), eb = vec2(dot(pb, dir), dot(pb, perp));
    lo = min(ea, eb) - rr;
    hi = max(ea, eb) + rr;
  } else {
    float near = projection[3][2] / (projection[2][2] - 1.0);
    if (zFarthest >= -near) {  // wholly in front of the near plane
      gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
      return;
    }
    fullScreen = zNearest > -near * 1.001;
    if (!fullScreen) {
      vec3 qa[4], qb[4];
      ballCorners(a, r, qa);
      ballCorners(b, r, qb);
      lo = vec2(3.0e38);
      hi = vec2(-3.0e38);
      for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 2; ++k) {
          vec3 p = k == 0 ? qa[i] : qb[i];
          if (p.z > -near * 0.5) fullScreen = true;
          vec2 s = toPixels(p);
          vec2 e = vec2(dot(s, dir), dot(s, perp));
          lo = min(lo, e);
          hi = max(hi, e);
        }
      }
    }
    if (fullScreen) {  // the capsule reaches the near plane: cast every pixel
      planeZ = -near * 1.0001;
    }
  }

  vec2 ndc;
  if (fullScreen) {
    ndc = corner;
  } else {
    vec2 e = mix(lo, hi, corner * 0.5 + 0.5);
    ndc = (dir * e.x + perp * e.y) / halfViewport;
  }
  vec4 planeClip = projection * vec4(0.0, 0.0, planeZ, 1.0);
  float ndcZ = orthographic ? clamp(planeClip.z / planeClip.w, -0.999, 0.999) : planeClip.z / planeClip.w;
  vec4 v = inverseProjection * vec4(ndc, ndcZ, 1.0);
  vPos = v.xyz / v.w;
  gl_Position = projection * vec4(vPos, 1.0);
}
)";

inline const char* cylinderFragment = "#version 330 core\n" ORBISK_DEPTH_GREATER ORBISK_IMPOSTOR_COMMON R"(
in vec3 vPos;
flat in vec3 vP0;
flat in vec3 vP1;
flat in float vRadius;
flat in vec3 vColor0;
flat in vec3 vColor1;
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
  vec3 color = dot(p - vP0, u) < 0.5 * len ? vColor0 : vColor1;
  fragColor = vec4(shade(color, n, rd), 1.0);
}
)";

// Wide lines by hand: each segment is a screen-space quad, widened by a pixel
// for the smoothed edge and lengthened by half the width so joints close.
inline const char* lineVertex = R"(#version 330 core
layout(location = 1) in vec3 p0;
layout(location = 2) in vec4 color0;
layout(location = 3) in vec3 p1;
layout(location = 4) in vec4 color1;
uniform mat4 mvp;
uniform vec2 viewportSize;
uniform float halfExtent;  // pixels from the centre line to the quad edge
uniform float capExtent;   // pixels added beyond each end
out float vT;
noperspective out float vDist;
flat out vec4 vColor0;
flat out vec4 vColor1;
void main() {
  // x: 0 = first end, 1 = second; y: side, -1 or 1
  vec2 corner = vec2(float((gl_VertexID >> 1) & 1), (gl_VertexID & 1) != 0 ? 1.0 : -1.0);
  vec4 a = mvp * vec4(p0, 1.0);
  vec4 b = mvp * vec4(p1, 1.0);
  float ta = 0.0, tb = 1.0;
  // Clip against the near plane so that w stays positive.
  float da = a.z + a.w, db = b.z + b.w;
  if (da < 0.0 && db < 0.0) {
    gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
    return;
  }
  if (da < 0.0) { float t = da / (da - db); a = mix(a, b, t); ta = t; }
  else if (db < 0.0) { float t = da / (da - db); b = mix(a, b, t); tb = t; }
  vec2 sa = a.xy / a.w * viewportSize * 0.5;
  vec2 sb = b.xy / b.w * viewportSize * 0.5;
  vec2 dir = sb - sa;
  float l = length(dir);
  dir = l > 1e-4 ? dir / l : vec2(1.0, 0.0);
  vec2 nrm = vec2(-dir.y, dir.x);
  bool first = corner.x < 0.5;
  vec4 e = first ? a : b;
  vec2 off = nrm * corner.y * halfExtent + dir * (first ? -capExtent : capExtent);
  gl_Position = e + vec4(off * 2.0 / viewportSize * e.w, 0.0, 0.0);
  vT = first ? ta : tb;
  vDist = corner.y * halfExtent;
  vColor0 = color0;
  vColor1 = color1;
}
)";

inline const char* lineFragment = R"(#version 330 core
in float vT;
noperspective in float vDist;
flat in vec4 vColor0;
flat in vec4 vColor1;
uniform float halfWidth;
uniform bool smoothEdges;
out vec4 fragColor;
void main() {
  float d = abs(vDist);
  float alpha = 1.0;
  if (smoothEdges) {
    alpha = clamp(halfWidth + 0.5 - d, 0.0, 1.0);
    if (alpha < 1.0 / 255.0) discard;
  } else if (d > halfWidth) {
    discard;
  }
  vec4 c = vT < 0.5 ? vColor0 : vColor1;
  fragColor = vec4(c.rgb, alpha);
}
)";

#undef ORBISK_IMPOSTOR_COMMON

} // namespace vl::shaders
