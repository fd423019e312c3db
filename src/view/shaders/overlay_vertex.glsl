// The overlay rectangle in window pixels (x, y from the top left, width,
// height).
#version 330 core
uniform vec4 rect;
uniform vec2 viewportSize;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
  vec2 p = rect.xy + corner * rect.zw;
  gl_Position = vec4(p.x / viewportSize.x * 2.0 - 1.0, 1.0 - p.y / viewportSize.y * 2.0, 0.0, 1.0);
}
