// Smooth shading with the atoms' light: ambient 0.2 and 0.8 Lambert from the
// headlight, the highlight up and to the left, and depth cueing, the same
// terms as shade() in impostor_common.glsl. That file is not included: its
// writeDepth() assigns gl_FragDepth, which would cost the early depth test.
// A face seen from behind is lit as its other side, so the inside of a cut
// surface is not black.
#version 330 core
in vec3 vPos;
in vec3 vNormal;
uniform bool orthographic;
uniform vec3 color;
uniform float opacity;
uniform vec3 cueColor;
uniform float cueStart;
uniform float cueEnd;
uniform float cueStrength;
out vec4 fragColor;
const vec3 HIGHLIGHT_LIGHT = vec3(-0.52, 0.677, 0.52);  // normalised (-1, 1.3, 1)
void main() {
  vec3 rd = orthographic ? vec3(0.0, 0.0, -1.0) : normalize(vPos);
  vec3 n = normalize(vNormal);
  if (!gl_FrontFacing) n = -n;
  float lambert = max(dot(n, -rd), 0.0);
  vec3 halfway = normalize(HIGHLIGHT_LIGHT - rd);
  // The 80th power by squaring: cheaper than pow() on a software rasteriser.
  float s1 = max(dot(n, halfway), 0.0), s2 = s1 * s1, s4 = s2 * s2, s8 = s4 * s4, s16 = s8 * s8;
  float specular = s16 * s16 * s16 * s16 * s16;
  vec3 lit = color * (0.2 + 0.8 * lambert) + vec3(0.4 * specular);
  float cue = cueStrength * clamp((-vPos.z - cueStart) / max(cueEnd - cueStart, 1e-6), 0.0, 1.0);
  fragColor = vec4(mix(lit, cueColor, cue), opacity);
}
