// Isosurface vertices: position and normal into view space for the lighting.
#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
uniform mat4 view;
uniform mat4 projection;
out vec3 vPos;
out vec3 vNormal;
void main() {
  vec4 p = view * vec4(position, 1.0);
  vPos = p.xyz;
  vNormal = mat3(view) * normal;
  gl_Position = projection * p;
}
