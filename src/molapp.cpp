#include "molapp.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "readers/loader.h"
#include "vl/gui/qt5widget.h"
#include "vl/gui/rendering.h"
#include "vl/gui/scenemanager.h"
#include "vl/gui/text.h"
#include "vl/gui/trackball.h"
#include "vl/log.h"

int Nmat = 0;
vl::Atom* m_at1 = nullptr;
vl::Atom* m_at2 = nullptr;
vl::Atom* m_at3 = nullptr;
vl::Atom* m_at4 = nullptr;

MolApplet::MolApplet() : mText(vl::make_ref<vl::Text>()) {}

MolApplet::~MolApplet() = default;

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
  LoadStructureFile(file, mMolecules);

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
