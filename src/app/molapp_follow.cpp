// F5 and --follow: reading the file again, whole or for what a running job added.
#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <iterator>

#include <QFileSystemWatcher>
#include <QTimer>

#include "app/molapp.h"
#include "app/molapp_modes.h"
#include "app/molapp_orbitals.h"
#include "core/formats/loader.h"
#include "core/model/log.h"
#include "view/openglcontext.h"

namespace {

// Writes come in bursts; the file is read once the burst has settled.
constexpr int kSettleMilliseconds = 200;

// Reads the file into `structures`; a reader error is printed and what was
// read before it is kept.
void readAgain(const std::string& file, StructureList& structures, vl::Log& log)
{
  try {
    LoadStructureFile(file, structures, log);
  } catch (const std::exception& e) {
    vl::Log::print(std::string("ERROR: ") + e.what() + "\n");
  }
}

} // namespace

void MolApplet::reloadFile()
{
  if (mFile.empty())
    return;
  // The selection and the playing mode point into the structures about to go.
  clearSelection();
  stopMode();
  mModes.reset();
  mModePosition = -1;
  forgetOrbitals();
  showResults("");
  StructureList fresh;
  vl::BufferLog log;
  readAgain(mFile, fresh, log);
  if (!log.text().empty())
    vl::Log::print(log.text());
  mMolecules.erase(mMolecules.begin() + static_cast<std::ptrdiff_t>(std::min(mFileStart, mMolecules.size())),
                   mMolecules.end());
  LogStructureList(fresh, vl::Log::standardOutput());
  mMolecules.insert(mMolecules.end(), std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
  rememberFileState();
  if (mMolecules.empty()) {
    showNothingLoaded(mFile, "no structures were found in it");
    updateEnergyPlot();
  } else {
    mCurrentMolecule = std::clamp(mCurrentMolecule, 0, static_cast<int>(mMolecules.size()) - 1);
    updateMolecule();
  }
  if (openglContext())
    openglContext()->update();
}

void MolApplet::followFile()
{
  mWatcher = std::make_unique<QFileSystemWatcher>();
  mSettle = std::make_unique<QTimer>();
  mSettle->setSingleShot(true);
  QObject::connect(mSettle.get(), &QTimer::timeout, [this] { takeNewStructures(); });
  QObject::connect(mWatcher.get(), &QFileSystemWatcher::fileChanged, [this] { mSettle->start(kSettleMilliseconds); });
  mWatcher->addPath(QString::fromStdString(mFile));
  rememberFileState();
}

void MolApplet::rememberFileState()
{
  struct stat st;
  mFileIdentity = stat(mFile.c_str(), &st) == 0 ? FileIdentity{st.st_dev, st.st_ino, st.st_size} : FileIdentity{};
}

void MolApplet::takeNewStructures()
{
  // A file replaced by a new one (or removed and written again) drops off
  // the watch list: watch the new one.
  if (mWatcher && mWatcher->files().isEmpty())
    mWatcher->addPath(QString::fromStdString(mFile));
  struct stat st;
  if (stat(mFile.c_str(), &st) != 0)
    return; // gone for now; a new one will be read when it comes
  if (st.st_dev != mFileIdentity.device || st.st_ino != mFileIdentity.inode || st.st_size < mFileIdentity.size) {
    reloadFile(); // shrunk or replaced: it is another file now
    return;
  }
  if (st.st_size == mFileIdentity.size)
    return;
  mFileIdentity.size = st.st_size;

  StructureList fresh;
  vl::BufferLog quiet; // the tables read before were announced already
  readAgain(mFile, fresh, quiet);
  // A table still being written is not a structure yet.
  while (!fresh.empty() && fresh.back()->calculation().cutShort)
    fresh.pop_back();
  stopMode(); // modes may arrive with the new lines
  if (mModes)
    mModes->structure = nullptr;
  mModePosition = -1;
  const size_t start = std::min(mFileStart, mMolecules.size());
  const size_t have = mMolecules.size() - start;
  // What the job printed since about the structures already shown (an energy
  // comes after its table).
  for (size_t k = 0; k < have && k < fresh.size(); ++k)
    mMolecules[start + k]->calculation() = fresh[k]->calculation();
  if (fresh.size() > have) {
    const bool followLast = mCurrentMolecule == static_cast<int>(mMolecules.size()) - 1;
    const StructureList added(std::make_move_iterator(fresh.begin() + static_cast<std::ptrdiff_t>(have)),
                              std::make_move_iterator(fresh.end()));
    LogStructureList(added, vl::Log::standardOutput());
    mMolecules.insert(mMolecules.end(), added.begin(), added.end());
    if (followLast || mMolecules.size() == added.size())
      mCurrentMolecule = static_cast<int>(mMolecules.size()) - 1;
  }
  if (!mMolecules.empty())
    updateMolecule();
  if (openglContext())
    openglContext()->update();
}
