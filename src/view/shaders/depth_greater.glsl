// The drawn geometry lies in front of the surface, so the depth written is
// never less than the rasterised one.
#extension GL_ARB_conservative_depth : enable
#ifdef GL_ARB_conservative_depth
layout(depth_greater) out float gl_FragDepth;
#endif
