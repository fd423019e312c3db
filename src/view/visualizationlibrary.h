#pragma once
// Start and stop of the viewer's toolkit layer.

namespace vl {

class VisualizationLibrary {
public:
  // log: print a short block about the toolkit now and the OpenGL vendor,
  // renderer and version once a context is up (through vl::Log).
  static void init(bool log = false);
  static void shutdown();
  // Called by the window once its context is current.
  static void logOpenGLInfo();
};

} // namespace vl
