// Each fragment takes the image's texel under it, so nothing is filtered.
#version 330 core
uniform sampler2D image;
uniform vec4 rect;
uniform vec2 viewportSize;
out vec4 fragColor;
void main() {
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  ivec2 texel = ivec2(pixel.x - int(rect.x), int(viewportSize.y) - 1 - pixel.y - int(rect.y));
  if (any(lessThan(texel, ivec2(0))) || any(greaterThanEqual(texel, ivec2(rect.zw)))) discard;
  fragColor = texelFetch(image, texel, 0);
}
