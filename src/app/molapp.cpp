#include "app/molapp.h"
#include "app/molapp_modes.h"
#include "app/molapp_orbitals.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include <QFileSystemWatcher>
#include <QTimer>

#include "core/formats/loader.h"
#include "core/model/log.h"
#include "view/qt5widget.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"
#include "view/trackball.h"

struct MolApplet::Preload {
  std::string file;
  StructureList structures;
  vl::BufferLog log; // printed when the load is taken over
  std::exception_ptr error;
  std::thread worker;

  ~Preload() { finish(); }
  void finish()
  {
    if (worker.joinable())
      worker.join();
  }
};

MolApplet::MolApplet()
    : mText(vl::make_ref<vl::Text>()), mHelp(vl::make_ref<vl::Text>()), mStatus(vl::make_ref<vl::Text>()),
      mResults(vl::make_ref<vl::Text>())
{
}

MolApplet::~MolApplet() = default;

void MolApplet::preloadFile(const std::string& file)
{
  mPreload.reset();
  auto p = std::make_unique<Preload>();
  p->file = file;
  try {
    p->worker = std::thread([q = p.get()] {
      try {
        LoadStructureFile(q->file, q->structures, q->log);
      } catch (...) {
        q->error = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    return; // loadFile reads on the spot
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
  const int n = orbisk_dir_env ? std::snprintf(fontPath, sizeof fontPath,
                                               "%s\\data\\font\\bitstream-vera\\VeraMono.ttf", orbisk_dir_env)
                               : -1;
  if (n < 0 || n >= static_cast<int>(sizeof fontPath))
    std::snprintf(fontPath, sizeof fontPath, "%s", "VeraMono.ttf");

  mText->setFont(vl::defFontManager()->acquireFont(fontPath, 10, false));
  mText->setAlignment(vl::AlignHCenter | vl::AlignTop);
  mText->setViewportAlignment(vl::AlignHCenter | vl::AlignTop);
  mText->setTextAlignment(vl::TextAlignCenter);
  mText->translate(0, -5, 0);
  for (vl::Text* corner : {mStatus.get(), mResults.get()}) {
    const int side = corner == mStatus.get() ? vl::AlignRight : vl::AlignLeft;
    corner->setFont(mText->font());
    corner->setAlignment(side | vl::AlignBottom);
    corner->setViewportAlignment(side | vl::AlignBottom);
    corner->setTextAlignment(corner == mStatus.get() ? vl::TextAlignRight : vl::TextAlignLeft);
    corner->translate(corner == mStatus.get() ? -5 : 5, 5, 0);
  }
  // Readable on the background chosen at start-up.
  if (rendering())
    setBackground(rendering()->camera()->viewport()->clearColor());

  sceneManager()->addText(mText);
  sceneManager()->addText(mStatus);
  sceneManager()->addText(mResults);

  // Empty, and so not drawn, until F1.
  mHelp->setFont(mText->font());
  mHelp->setAlignment(vl::AlignHCenter | vl::AlignVCenter);
  mHelp->setViewportAlignment(vl::AlignHCenter | vl::AlignVCenter);
  sceneManager()->addText(mHelp);
}

void MolApplet::loadFile(std::string file)
{
  chooseMode(-1); // the modes' structure may no longer be the one with modes
  forgetOrbitals();
  mCurrentMolecule = 0;
  mFile = file;
  mFileStart = mMolecules.size();
  if (mPreload && mPreload->file == file) {
    // As if read here: the held-back log first, then the structures, then
    // what the reader threw.
    const std::unique_ptr<Preload> p = std::move(mPreload);
    p->finish();
    if (!p->log.text().empty())
      vl::Log::print(p->log.text());
    mMolecules.insert(mMolecules.end(), std::make_move_iterator(p->structures.begin()),
                      std::make_move_iterator(p->structures.end()));
    if (p->error)
      std::rethrow_exception(p->error);
  } else {
    mPreload.reset();
    LoadStructureFile(file, mMolecules, vl::Log::standardOutput());
  }

  // The energy plot comes up by itself for a file that gives two or more energies.
  if (!mPlotChosen) {
    int energies = 0;
    for (const auto& m : mMolecules)
      energies += m->calculation().totalEnergy.has_value();
    mShowPlot = energies >= 2;
  }
  if (!mMolecules.empty()) {
    mCurrentMolecule = static_cast<int>(mMolecules.size()) - 1;
    updateMolecule();
  } else {
    vl::Log::print("No molecules could be found!\n");
    showNothingLoaded(file, "no structures were found in it");
  }

  trackball()->adjustView(rendering(), vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
  LogStructureList(mMolecules, vl::Log::standardOutput());
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
    } else {
      showNothingLoaded(files.front().toStdString(), e.what());
    }
  }
}

void MolApplet::resizeEvent(int w, int h)
{
  vl::Applet::resizeEvent(w, h);
  if (!mMolecules.empty())
    updateText(); // the corner texts follow the plot's band
}

void MolApplet::showNothingLoaded(const std::string& file, const std::string& why)
{
  if (mText)
    mText->setText("Drop a file inside the window.\n" + file + ": " + why);
}
