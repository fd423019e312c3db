// Shared by the sphere and cylinder fragment shaders: ray set-up, depth and
// the headlight. Everything works in view space: the eye is at the origin
// looking down -z (perspective) or along -z from the plane z = 0
// (orthographic, where rays may start behind the geometry; the depth-range
// test decides what is kept). Ambient is 0.2 of the colour, so a surface
// facing the eye shows the atom's colour. A second light, up and to the left
// of the eye, adds only a specular highlight, well off the centre. Depth
// cueing: behind the middle of the scene, surfaces fade towards the
// background, up to cueStrength at the back. Ambient occlusion: each ball
// (and each bond half, as its atom) is darker the less open it is.
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
uniform vec3 cueColor;
uniform float cueStart;
uniform float cueEnd;
uniform float cueStrength;
// How much a ball's openness (1: nothing near it) darkens it.
uniform float occlusionStrength;
const vec3 HIGHLIGHT_LIGHT = vec3(-0.52, 0.677, 0.52);  // normalised (-1, 1.3, 1)
vec3 shade(vec3 color, vec3 n, vec3 p, vec3 rd, float openness) {
  float lambert = max(dot(n, -rd), 0.0);
  vec3 halfway = normalize(HIGHLIGHT_LIGHT - rd);
  // The 80th power by squaring: cheaper than pow() on a software rasteriser.
  float s1 = max(dot(n, halfway), 0.0), s2 = s1 * s1, s4 = s2 * s2, s8 = s4 * s4, s16 = s8 * s8;
  float s64 = s16 * s16 * s16 * s16;
  float specular = s64 * s16;
  float occlusion = 1.0 - occlusionStrength * (1.0 - openness);
  vec3 lit = color * (0.2 + 0.8 * lambert) * occlusion + vec3(0.4 * specular * occlusion);
  float cue = cueStrength * clamp((-p.z - cueStart) / max(cueEnd - cueStart, 1e-6), 0.0, 1.0);
  return mix(lit, cueColor, cue);
}
