// The line's cross-section: hard or smoothed edges.
#version 330 core
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
