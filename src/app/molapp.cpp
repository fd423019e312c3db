#include "app/molapp.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include "core/formats/loader.h"
#include "view/qt5widget.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"
#include "view/trackball.h"
#include "core/model/log.h"

namespace {

// The log stream while a worker reads: what the worker writes is held back in
// its capture; what any other thread writes goes straight on, as before.
thread_local std::string* tHeldBack = nullptr;

ssize_t routeLog(void* next, const char* data, size_t size)
{
  if (tHeldBack) {
    tHeldBack->append(data, size);
    return static_cast<ssize_t>(size);
  }
  auto* out = static_cast<std::FILE*>(next);
  const size_t written = std::fwrite(data, 1, size, out);
  std::fflush(out);
  return static_cast<ssize_t>(written);
}

} // namespace

struct MolApplet::Preload {
  std::string file;
  StructureList structures;
  std::string log;
  std::exception_ptr error;
  std::thread worker;
  std::FILE* previousLog = nullptr;
  std::FILE* route = nullptr;

  ~Preload() { finish(); }

  // Waits for the worker and gives the log its previous stream back.
  void finish()
  {
    if (worker.joinable())
      worker.join();
    if (route) {
      vl::Log::setOutput(previousLog);
      std::fclose(route);
      route = nullptr;
    }
  }
};

MolApplet::MolApplet() : mText(vl::make_ref<vl::Text>()) {}

MolApplet::~MolApplet() = default;

void MolApplet::preloadFile(const std::string& file)
{
  mPreload.reset();
  auto p = std::make_unique<Preload>();
  p->file = file;
  p->previousLog = vl::Log::output();
  // Unbuffered, so that each write reaches routeLog from the thread that made it.
  p->route = fopencookie(p->previousLog, "w", cookie_io_functions_t{nullptr, routeLog, nullptr, nullptr});
  if (!p->route)
    return; // loadFile reads on the spot
  if (std::setvbuf(p->route, nullptr, _IONBF, 0) != 0)
    return;
  vl::Log::setOutput(p->route);
  try {
    p->worker = std::thread([q = p.get()] {
      tHeldBack = &q->log;
      try {
        LoadStructureFile(q->file, q->structures);
      } catch (...) {
        q->error = std::current_exception();
      }
      tHeldBack = nullptr;
    });
  } catch (const std::system_error&) {
    return;
  }
  mPreload = std::move(p);
}

void MolApplet::initEvent()
{
  char fontPath[256] = {0};

  orbisk_dir_env = std::getenv("ORBISK_ROOT_DIR");
  if (!orbisk_dir_env) {
    // Straight to standard output, not through the log.
    std::fputs("Warning! The environment variable ORBISK_ROOT_DIR is not defined!\n", stdout);
    std::fflush(stdout);
  }

  mText->setText("Drop a file inside the window.");

  // A root too long for the buffer falls back to the bare name, which the
  // font lookup then finds in the data directories.
  const int n = orbisk_dir_env
                    ? std::snprintf(fontPath, sizeof fontPath, "%s\\data\\font\\bitstream-vera\\VeraMono.ttf", orbisk_dir_env)
                    : -1;
  if (n < 0 || n >= static_cast<int>(sizeof fontPath))
    std::snprintf(fontPath, sizeof fontPath, "%s", "VeraMono.ttf");

  mText->setFont(vl::defFontManager()->acquireFont(fontPath, 10, false));
  mText->setAlignment(vl::AlignHCenter | vl::AlignTop);
  mText->setViewportAlignment(vl::AlignHCenter | vl::AlignTop);
  mText->setTextAlignment(vl::TextAlignCenter);
  mText->translate(0, -5, 0);
  mText->setColor(vl::white);

  sceneManager()->addText(mText);
}

void MolApplet::loadFile(std::string file)
{
  mCurrentMolecule = 0;
  if (mPreload && mPreload->file == file) {
    // As if read here: the held-back log first, then the structures, then
    // what the reader threw.
    const std::unique_ptr<Preload> p = std::move(mPreload);
    p->finish();
    if (!p->log.empty())
      vl::Log::print(p->log);
    mMolecules.insert(mMolecules.end(), std::make_move_iterator(p->structures.begin()),
                      std::make_move_iterator(p->structures.end()));
    if (p->error)
      std::rethrow_exception(p->error);
  } else {
    mPreload.reset();
    LoadStructureFile(file, mMolecules);
  }

  if (!mMolecules.empty()) {
    mCurrentMolecule = static_cast<int>(mMolecules.size()) - 1;
    updateMolecule();
  } else {
    vl::Log::print("No molecules could be found!\n");
  }

  trackball()->adjustView(rendering(), vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  LogStructureList(mMolecules);
}

void MolApplet::fileDroppedEvent(const std::vector<vl::String>& files)
{
  if (files.empty())
    return;
  try {
    loadFile(files.front().toStdString());
  } catch (const std::exception& e) {
    // A bad dropped file must not end the session: report it and show what
    // the list holds, as a finished load would.
    vl::Log::print(std::string("ERROR: ") + e.what() + "\n");
    if (!mMolecules.empty()) {
      mCurrentMolecule = static_cast<int>(mMolecules.size()) - 1;
      updateMolecule();
      trackball()->adjustView(rendering(), vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
    }
  }
}
