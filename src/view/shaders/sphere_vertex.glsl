// A quad in front of each sphere; the fragment shader casts the ray.
#version 330 core
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
flat out float vOpen;
// Every atom is four vertices in a row (an index buffer makes the two
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
  vOpen = color.a;
  gl_Position = projection * vec4(vPos, 1.0);
}
