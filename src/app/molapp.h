#pragma once
// The viewer: owns the structure list, draws the current structure and
// answers the window's key, mouse and drop events.
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "core/model/molecule.h"
#include "view/applet.h"
#include "view/moleculerenderer.h"

namespace vl {
class Plot;
class Text;
} // namespace vl
class QFileSystemWatcher;
class QTimer;
namespace vlQt5 {
class Qt5Widget;
}

class MolApplet : public vl::Applet {
public:
  MolApplet();
  ~MolApplet() override;

  void initEvent() override;
  void mouseDownEvent(vl::EMouseButton bt, int x, int y) override;
  void mouseMoveEvent(int x, int y) override;
  void mouseUpEvent(vl::EMouseButton bt, int x, int y) override;
  void keyPressEvent(unsigned short ch, vl::EKey key) override;
  void keyReleaseEvent(unsigned short ch, vl::EKey key) override;
  void fileDroppedEvent(const std::vector<vl::String>& files) override;
  void resizeEvent(int w, int h) override;

  void loadFile(std::string file);
  // Makes structure `index` (0-based) current in `style` (0-3, the Up key's
  // order: wireframe, ball and stick, sticks, space filling), as the keys would.
  void showStructure(int index, int style);
  // Starts reading `file` on a worker thread while the window comes up; the
  // next loadFile(file) takes what it read, and prints its log lines then.
  void preloadFile(const std::string& file);
  void updateMolecule();
  void updateText();
  void captureCanvas();
  // The background, and an overlay colour that stays readable on it.
  void setBackground(const vl::fvec4& colour);
  // Space: steps through the structures in a loop, ten a second. The timer
  // exists only while playing, so a paused viewer stays idle.
  void togglePlay();
  // F1: every key and mouse gesture, over the view.
  void toggleHelp();
  // F5: the last file read again; its structures replace the ones it gave.
  void reloadFile();
  // --follow: watches the last file and takes the structures a running job
  // appends to it, once each table is complete.
  void followFile();
  // L: each visible atom's name beside it.
  void toggleLabels();

  // Normal modes. V: the mode list. PgUp/PgDn (or a click in the list)
  // choose a mode, which then plays; "no mode" stops it. + and - scale the
  // amplitude, A shows displacement arrows, S the IR spectrum; "," and "."
  // narrow or widen its lines, W writes it as CSV and PNG beside the file.
  void toggleModeList();
  // Moves through the modes by `step`, in the list's order; before the first is "no mode".
  void stepMode(int step);
  // Chooses the mode at `position` in the list's order; -1 for none.
  void chooseMode(int position);
  int chosenMode() const { return mModePosition; }
  void toggleArrows();
  void toggleSpectrum();
  void writeSpectrum();

  // Orbitals (WFN, Molden and fchk files). M: the orbital list, through
  // which PgUp/PgDn then move. The chosen orbital is drawn as two
  // isosurfaces (positive blue, negative red), the density as one; [ and ]
  // lower and raise the iso value, T makes the surfaces translucent.
  void toggleOrbitalList();
  void stepOrbital(int step);
  // -1 for none, 0 the density, k the list's k-th orbital.
  void chooseOrbital(int position);
  void scaleIsoValue(double factor);
  void toggleTranslucent();
  bool orbitalListShown() const;

  // For pictures drawn without a window: mode N's arrows on the structure at
  // rest (N as the program numbers it), or an orbital named as
  // --export cube takes it. An empty string, or the line that says why not.
  std::string showModeArrows(int number);
  std::string showOrbital(const std::string& name, const std::string& spin);
  // E: the energy plot under the structure. Shown from the start when the
  // file gives two or more energies, unless E has hidden it.
  void toggleEnergyPlot();
  bool energyPlotShown() const { return mShowPlot; }
  // Ctrl+O: a file chosen in a dialog loads as a dropped one does.
  void openFileDialog();
  // Ctrl+S: the view at window size, saved as a PNG where a dialog says.
  void saveViewDialog();
  // A click: pick (left) or measure (right) at window pixel (x, y).
  void clickEvent(vl::EMouseButton bt, int x, int y);

  void setInpFName(std::string name) { inp_fname = std::move(name); }
  std::string getInpFName() const { return inp_fname; }
  void setShowHydrogens(bool show) { show_hydrogens = show; }
  void toggleShowHydrogens() { show_hydrogens = !show_hydrogens; }

  // Read access for tests and the capture.
  const std::vector<vl::ref<vl::Molecule>>& molecules() const { return mMolecules; }
  int currentMolecule() const { return mCurrentMolecule; }
  int currentStyle() const { return mCurrentStyle; }

  // The atom selection, in picking order: up to four atoms, then full (tests use these too).
  void selectAtom(vl::Atom* atom);
  void clearSelection();

  vl::ref<vlQt5::Qt5Widget> qt5_window;

private:
  std::vector<vl::ref<vl::Molecule>> mMolecules;
  int mCurrentMolecule = 0;
  int mCurrentStyle = 1;
  vl::ref<vl::Text> mText;
  vl::ref<vl::Text> mHelp;
  vl::ref<vl::Text> mStatus;  // bottom right: style, hidden hydrogens, title
  vl::ref<vl::Text> mResults; // bottom left: the last measurement, with units
  bool mShowLabels = false;
  // Normal modes: the structure they belong to, the list order (imaginary
  // first, then by frequency), the chosen one and its motion.
  struct ModeView;
  std::unique_ptr<ModeView> mModes;
  int mModePosition = -1;
  void stopMode(); // back to the structure at rest
  struct OrbitalView;
  std::unique_ptr<OrbitalView> mOrbitals;
  bool haveWavefunction();
  void forgetOrbitals(); // a new file: its own orbitals, read when asked for
  void updateSurfaces();
  void updateOrbitalList();
  void showModeFrame();
  void updateModeList();
  // A click at framebuffer pixel (x, y) on a line of the mode list; true when it chose.
  bool clickModeList(int x, int y);
  void updateSpectrum();
  // The arrows of the chosen mode at the present positions (A).
  std::vector<vl::Arrow> modeArrows() const;
  vl::ref<vl::Plot> mEnergyPlot;
  std::vector<int> mPlotStructures; // the structure of each plot point
  bool mShowPlot = false;
  bool mPlotChosen = false; // E was pressed: the default no longer applies
  // The last file loaded, and where its structures start in the list.
  std::string mFile;
  size_t mFileStart = 0;
  struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
  } mFileIdentity;
  std::unique_ptr<QFileSystemWatcher> mWatcher;
  std::unique_ptr<QTimer> mSettle;
  void rememberFileState();
  void takeNewStructures();
  std::unique_ptr<QTimer> mPlayTimer;
  const char* orbisk_dir_env = nullptr;
  std::string inp_fname;
  bool show_hydrogens = true;
  // The atom selection: picked atoms, in picking order.
  int Nmat = 0;
  vl::Atom* m_at1 = nullptr;
  vl::Atom* m_at2 = nullptr;
  vl::Atom* m_at3 = nullptr;
  vl::Atom* m_at4 = nullptr;
  // A press acts on its release, unless it moved: then it was a trackball gesture.
  struct Press {
    vl::EMouseButton button = vl::NoButton;
    int x = 0, y = 0;
    bool moved = false;
  } mPress;
  // The energy plot's points and mark, and the band the view leaves it.
  void updateEnergyPlot();
  // The plot's band in framebuffer pixels; 0 when hidden.
  int plotBand() const;
  // Atom names (L) and the numbers of the picked atoms, beside their atoms.
  void updateLabels();
  // The lines of the last measurement, for the results panel.
  void showResults(const std::string& lines);
  // Shows "Drop a file" and, below it, why nothing was shown from the file.
  void showNothingLoaded(const std::string& file, const std::string& why);
  struct Preload;
  std::unique_ptr<Preload> mPreload;
};
