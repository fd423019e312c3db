// Wide lines by hand: each segment is a screen-space quad, widened by a pixel
// for the smoothed edge and lengthened by half the width so joints close.
#version 330 core
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
