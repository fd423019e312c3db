// Shared by the sphere and cylinder fragment shaders: ray set-up, depth and
// the headlight. Everything works in view space: the eye is at the origin
// looking down -z (perspective) or along -z from the plane z = 0
// (orthographic, where rays may start behind the geometry; the depth-range
// test decides what is kept). Ambient is 0.2 of the colour, so a surface
// facing the eye shows exactly the atom's colour.
uniform mat4 projection;
uniform bool orthographic;
void eyeRay(vec3 pos, out vec3 ro, out vec3 rd) {
  if (orthographic) { ro = vec3(pos.xy, 0.0); rd = vec3(0.0, 0.0, -1.0); }
  else { ro = vec3(0.0); rd = normalize(pos); }
}
bool writeDepth(vec3 p) {
  vec4 clip = projection * vec4(p, 1.0);
  if (clip.w <= 0.0) return false;
  float z = clip.z / clip.w;
  if (z < -1.0 || z > 1.0) return false;
  gl_FragDepth = 0.5 * (gl_DepthRange.diff * z + gl_DepthRange.near + gl_DepthRange.far);
  return true;
}
vec3 shade(vec3 color, vec3 n, vec3 rd) {
  float lambert = max(dot(n, -rd), 0.0);
  return color * (0.2 + 0.8 * lambert);
}
