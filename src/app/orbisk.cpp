// ORBISK: a viewer for molecular structures and the geometries of
// quantum-chemistry outputs. Start-up: command line, checks, window, loop.
#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <tclap/CmdLine.h>

#include "app/molapp.h"
#include "app/render.h"
#include "core/export/export.h"
#include "core/formats/inputfile.h"
#include "view/qt5widget.h"
#include "view/rendering.h"
#include "view/visualizationlibrary.h"

namespace {

struct QtArguments {
  std::vector<char*> rest; // what is left for our own parser
  std::string platform;    // -platform VALUE, if given
  std::string display;     // -display VALUE, if given
};

// Takes out the arguments QApplication would take for itself, so that the
// command line can be parsed before (and without) a display.
QtArguments splitQtArguments(int argc, char** argv)
{
  static const char* const withValue[] = {"-platformpluginpath", "-platform", "-platformtheme", "-plugin",
                                          "-qwindowgeometry",    "-geometry", "-qwindowtitle",  "-title",
                                          "-qwindowicon",        "-icon",     "-session",       "-style",
                                          "-stylesheet",         "-display",  "-name",          "-visual"};
  static const char* const flags[] = {"-reverse", "-testability", "-widgetcount", "-nograb",
                                      "-dograb",  "-sync",        "-qdevel",      "-qdebug"};
  static const char* const prefixes[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};

  QtArguments out;
  if (argc > 0)
    out.rest.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg || arg[0] != '-' || std::strcmp(arg, "--") == 0 || std::strcmp(arg, "-") == 0) {
      out.rest.push_back(argv[i]);
      continue;
    }
    // Qt accepts its options with one dash or two; --style is ours (--render's
    // drawing style), Qt's widget style stays -style.
    const char* name = arg[1] == '-' ? arg + 1 : arg;
    if (std::strcmp(arg, "--style") == 0) {
      out.rest.push_back(argv[i]);
      continue;
    }
    bool taken = false;
    for (const char* w : withValue) {
      if (std::strcmp(name, w) == 0) {
        if (i + 1 < argc) {
          ++i;
          if (std::strcmp(w, "-platform") == 0)
            out.platform = argv[i];
          else if (std::strcmp(w, "-display") == 0)
            out.display = argv[i];
        }
        taken = true;
        break;
      }
    }
    for (const char* f : flags)
      taken = taken || std::strcmp(name, f) == 0;
    for (const char* p : prefixes)
      taken = taken || std::strncmp(name, p, std::strlen(p)) == 0;
    if (!taken)
      out.rest.push_back(argv[i]);
  }
  return out;
}

// Qt aborts the process when its X11 platform cannot reach a display; ask
// the X library the same question first. Other platforms are not checked.
bool displayAvailable(const QtArguments& qt, std::string& why)
{
  std::string platform = qt.platform;
  if (platform.empty()) {
    const char* env = std::getenv("QT_QPA_PLATFORM");
    platform = env ? env : "";
  }
  if (!platform.empty() && platform.rfind("xcb", 0) != 0)
    return true;

  const char* envDisplay = std::getenv("DISPLAY");
  const std::string display = !qt.display.empty() ? qt.display : (envDisplay ? envDisplay : "");
  if (display.empty()) {
    why = "no display (DISPLAY is not set)";
    return false;
  }
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb)
    return true; // let Qt report it
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool ok = true;
  if (connect && hasError && disconnect) {
    void* c = connect(display.c_str(), nullptr);
    ok = c && hasError(c) == 0;
    if (c)
      disconnect(c);
  }
  dlclose(xcb);
  if (!ok)
    why = "cannot connect to display '" + display + "'";
  return ok;
}

// A large file fills hundreds of megabytes of fresh heap, and on many
// (virtual) machines every 4 KiB page fault costs microseconds: transparent
// huge pages for malloc cut the faults about a hundredfold. glibc reads that
// setting only from the environment at start-up, so restart once with it.
// Should the restart fail, the viewer simply goes on with the ordinary heap.
void restartWithHugePageHeap(char** argv)
{
  const char* current = std::getenv("GLIBC_TUNABLES");
  std::string tunables = current ? current : "";
  if (tunables.find("glibc.malloc.hugetlb") != std::string::npos)
    return;
  tunables += tunables.empty() ? "glibc.malloc.hugetlb=1" : ":glibc.malloc.hugetlb=1";
  if (::setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0)
    return;
  ::execv("/proc/self/exe", argv);
}

// Drops the window before the applet when the stack unwinds past both.
struct WindowRelease {
  MolApplet* applet = nullptr;
  ~WindowRelease()
  {
    if (applet)
      applet->qt5_window = nullptr;
  }
};

} // namespace

int main(int argc, char* argv[])
{
  restartWithHugePageHeap(argv);
  // All threads allocate from the main heap, which grows in large steps; a
  // thread's own arena grows a page at a time, a system call and a page
  // fault for every 4 KiB (the input file is read on a worker thread).
  mallopt(M_ARENA_MAX, 1);
  QtArguments qtArgs = splitQtArguments(argc, argv);
  std::unique_ptr<QApplication> app; // only once a window is needed
  int rc = 0;

  try {
    TCLAP::CmdLine cmd(
        "ORBISK: a viewer for molecular structures and for the geometries in the outputs of "
        "quantum-chemistry programs (Gaussian, GAMESS, CFOUR, KALDER, ORCA, Q-Chem, Psi4, NWChem, Molpro, xtb; "
        "Gaussian formatted checkpoints, Molden, XYZ/TRJ, MDL Molfile/SD, WFN). "
        "Written by the ORBISK developers.",
        ' ', ORBISK_VERSION_TEXT, true);
    TCLAP::ValueArg<int> widthArg("", "width", "Window width", false, 512, "pixels", cmd);
    TCLAP::ValueArg<int> heightArg("", "height", "Window height", false, 512, "pixels", cmd);
    TCLAP::SwitchArg fullscrArg("f", "fullscr", "Fullscreen mode", cmd, false);
    TCLAP::SwitchArg logvlArg("", "logvl", "Log VL", cmd, false);
    TCLAP::SwitchArg followArg("", "follow", "Watch the file and add the structures a running job writes to it", cmd,
                               false);
    TCLAP::ValueArg<std::string> backgroundArg(
        "", "background", "Background colour at start-up, or of --render's picture: a name such as white, or #rrggbb",
        false, "", "colour", cmd);
    std::vector<std::string> formats = ExportFormatNames();
    TCLAP::ValuesConstraint<std::string> formatConstraint(formats);
    TCLAP::ValueArg<std::string> exportArg("", "export",
                                           "Write the structures read from the file to standard output in this "
                                           "format instead of opening a window (cube: the orbital of --orbital)",
                                           false, "", &formatConstraint, cmd);
    TCLAP::ValueArg<int> modeArg(
        "", "mode",
        "With --export xyz: twenty frames of this normal mode's motion; with --render: its displacement arrows", false,
        0, "N", cmd);
    TCLAP::ValueArg<std::string> orbitalArg(
        "", "orbital",
        "With --export cube or --render: homo, lumo, homo-N, lumo+N, an orbital number (from 1) or density, from a "
        "WFN, Molden or fchk file",
        false, "", "orbital", cmd);
    std::vector<std::string> spins{"alpha", "beta"};
    TCLAP::ValuesConstraint<std::string> spinConstraint(spins);
    TCLAP::ValueArg<std::string> spinArg("", "spin",
                                         "With --orbital: the spin of the orbital (alpha unless given; the density "
                                         "of both unless given)",
                                         false, "", &spinConstraint, cmd);
    TCLAP::ValueArg<double> spacingArg("", "grid-spacing", "With --export cube: the grid spacing", false, 0.2, "bohr",
                                       cmd);
    // The help lists the last added first: --render leads its options.
    TCLAP::SwitchArg orientArg("", "orient",
                               "With --render: look along the structure's smallest principal axis, its largest "
                               "one horizontal (as the O key)",
                               cmd, false);
    TCLAP::ValueArg<std::string> structureArg(
        "", "structure", "With --render: the structure to draw, 1 for the first, negative from the end (default -1)",
        false, "", "K", cmd);
    TCLAP::ValueArg<std::string> styleArg("", "style",
                                          "With --render: wireframe, ballstick (the default), sticks or spacefill",
                                          false, "ballstick", "style", cmd);
    TCLAP::ValueArg<std::string> sizeArg("", "size", "With --render: the picture's size (default 1600x1200)", false,
                                         "1600x1200", "WxH", cmd);
    TCLAP::ValueArg<std::string> renderArg("", "render",
                                           "Draw the structure into this PNG file and end, without a window or "
                                           "display; the overlay text is left out",
                                           false, "", "OUT.png", cmd);
    TCLAP::UnlabeledValueArg<std::string> fileArg("filename", "Name of input file", true, "default", "filename", cmd);

    cmd.parse(static_cast<int>(qtArgs.rest.size()), qtArgs.rest.data());

    const std::string fname = fileArg.getValue();
    const int width = widthArg.getValue();
    const int height = heightArg.getValue();
    const bool fscr = fullscrArg.getValue();
    const bool logvlf = logvlArg.getValue();

    // Beyond this no X server or OpenGL driver makes a window's framebuffer.
    constexpr int kMaxWindowSide = 16384;
    if (width < 1 || height < 1 || width > kMaxWindowSide || height > kMaxWindowSide) {
      std::cerr << "Invalid window size " << width << " x " << height << ": width and height must be between 1 and "
                << kMaxWindowSide << " pixels" << std::endl;
      return 1;
    }

    // Qt knows the colour names without an application object.
    const QColor background(QString::fromStdString(backgroundArg.getValue()));
    if (backgroundArg.isSet() && !background.isValid()) {
      std::cerr << "Invalid background colour '" << backgroundArg.getValue()
                << "': use a colour name such as white, or #rrggbb" << std::endl;
      return 1;
    }
    const vl::fvec4 backgroundColour = backgroundArg.isSet() ? vl::fvec4(static_cast<float>(background.redF()),
                                                                         static_cast<float>(background.greenF()),
                                                                         static_cast<float>(background.blueF()), 1.0f)
                                                             : vl::black;

    RenderRequest render;
    std::string renderProblem;
    if (renderArg.isSet() && exportArg.isSet())
      renderProblem = "--render and --export exclude each other";
    else if (renderArg.isSet())
      renderProblem = ParseRenderOptions(sizeArg.getValue(), styleArg.getValue(), structureArg.getValue(), render);
    else if (sizeArg.isSet() || styleArg.isSet() || structureArg.isSet() || orientArg.isSet())
      renderProblem = "--size, --style, --structure and --orient go with --render";
    if (renderProblem.empty() && renderArg.isSet() && modeArg.isSet() && modeArg.getValue() < 1)
      renderProblem = "Invalid mode " + std::to_string(modeArg.getValue()) + ": use its number, 1 for the first";
    if (!renderProblem.empty()) {
      std::cerr << renderProblem << std::endl;
      return 1;
    }

    // Only a test: the applet opens the file again to read it. A directory,
    // a pipe (whose open would wait for a writer) or a device is refused first.
    const std::string fileProblem = InputFileProblem(fname);
    std::ifstream ifs;
    if (fileProblem.empty())
      ifs.open(fname);
    if (!fileProblem.empty() || !ifs.good()) {
      std::cerr << (fileProblem.empty() ? "Cannot open file '" + fname + "'\n" : fileProblem) << std::flush;
      rc = 1;
    } else if (exportArg.isSet()) {
      rc = ExportStructures(fname, exportArg.getValue(), modeArg.getValue(),
                            {orbitalArg.getValue(), spinArg.getValue(), spacingArg.getValue()});
    } else if (renderArg.isSet()) {
      render.input = fname;
      render.output = renderArg.getValue();
      render.orient = orientArg.getValue();
      render.background = backgroundColour;
      render.mode = modeArg.getValue();
      render.orbital = orbitalArg.getValue();
      render.spin = spinArg.getValue();
      rc = RenderToPng(render);
    } else {
      std::string why;
      if (!displayAvailable(qtArgs, why)) {
        std::cerr << "orbisk: cannot open the viewer window: " << why << std::endl;
        return 1;
      }
      app = std::make_unique<QApplication>(argc, argv);
      // The accessibility bridge, which the first window brings up anyway,
      // connects to the session bus and may fork dbus-launch for it. Done
      // before the file is read, the fork copies little, and writing to the
      // structures afterwards takes no copy-on-write faults.
      QAccessible::isActive();

      vl::VisualizationLibrary::init(logvlf);

      vl::OpenGLContextFormat format;
      format.setDoubleBuffer(true);
      format.setRGBABits(8, 8, 8, 8);
      format.setDepthBufferBits(24);
      format.setStencilBufferBits(8);
      format.setFullscreen(fscr);
      format.setMultisample(false);

      auto molApplet = vl::make_ref<MolApplet>();
      vl::ref<vl::Applet> applet = molApplet;
      WindowRelease windowRelease{molApplet.get()};
      applet->initialize();
      molApplet->setInpFName(fname);
      molApplet->setShowHydrogens(true);
      // The file is read while the window and its OpenGL context come up.
      molApplet->preloadFile(fname);

      auto window = vl::make_ref<vlQt5::Qt5Widget>();
      molApplet->qt5_window = window;
      window->addEventListener(applet);

      vl::Rendering* rendering = applet->rendering();
      molApplet->setBackground(backgroundColour);
      rendering->camera()->setViewMatrix(
          vl::Camera::lookAt(vl::fvec3(0, 10, 35), vl::fvec3(0, 0, 0), vl::fvec3(0, 1, 0)));

      const std::string title = fname + " - ORBISK";
      window->initQt5Widget(vl::String(title), format, 0, 0, width, height);
      window = nullptr; // the applet holds it from here on

      molApplet->qt5_window->show();
      if (!molApplet->qt5_window->isInitialized())
        QCoreApplication::processEvents();
      const std::string problem = molApplet->qt5_window->contextProblem();
      if (!problem.empty()) {
        std::cerr << "orbisk: cannot open the viewer window: " << problem << std::endl;
        return 1;
      }
      molApplet->loadFile(fname);
      if (followArg.getValue())
        molApplet->followFile();

      rc = app->exec();

      molApplet->qt5_window = nullptr;
      vl::VisualizationLibrary::shutdown();
    }
  } catch (TCLAP::ArgException& e) {
    std::cerr << "error: " << e.error() << " for arg " << e.argId() << std::endl;
    rc = 1;
  } catch (std::exception& e) {
    std::cerr << "ERROR: " << e.what() << std::endl;
    rc = 1;
  }
  return rc;
}
