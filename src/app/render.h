#pragma once
// orbisk --render: a picture of one structure of a file, drawn off-screen
// with no window and no display server, written as a PNG.
#include <string>

#include "core/model/vector.h"

struct RenderRequest {
  std::string input;  // the structure file
  std::string output; // the PNG
  int width = 1600;
  int height = 1200;
  int style = 1;       // the Up key's order: wireframe, ball and stick, sticks, space filling
  int structure = 0;   // 1-based, negative counts from the end, 0 the last
  bool orient = false; // as the O key: along the smallest principal axis
  int mode = 0;        // a normal mode's displacement arrows (1-based, the program's numbering); 0 none
  std::string orbital; // as --export cube --orbital takes it; "" none
  std::string spin;    // "alpha", "beta" or "" (alpha, or both for the density)
  vl::fvec4 background = vl::black;
};

// The values of --size (WxH), --style and --structure ("" for the last)
// into the request; "" when they are valid, else the line that says why not.
std::string ParseRenderOptions(const std::string& size, const std::string& style, const std::string& structure,
                               RenderRequest& request);

// Reads the file, draws the structure and writes the PNG; the exit status.
// A failure prints one line on standard error and writes no file.
int RenderToPng(const RenderRequest& request);
