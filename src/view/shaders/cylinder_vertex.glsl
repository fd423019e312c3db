// Each cylinder is one screen-space rectangle around the projection of its
// capsule (the hull of its two end balls), lying on the view plane through
// the capsule's nearest point. Two triangles and a tight fit matter on a
// software rasteriser, which shades whole pixel blocks per triangle.
#version 330 core
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
flat out vec2 vOpen;

// Every bond is four vertices in a row (an index buffer makes the two
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
  vOpen = vec2(color0.a, color1.a);

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
