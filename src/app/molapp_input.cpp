// Keyboard, mouse and image capture of the viewer.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include <QColor>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QTimer>

#include "app/molapp.h"
#include "app/molapp_modes.h"
#include "app/molapp_orbitals.h"
#include "core/chemistry/geometry.h"
#include "core/model/log.h"
#include "core/model/pick.h"
#include "core/model/say.h"
#include "view/capture.h"
#include "view/plot.h"
#include "view/qt5widget.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"
#include "view/trackball.h"

namespace {

constexpr double kRadToDeg = 57.29577951308232;
// Wireframe draws no atom bodies; a click this close to an atom centre picks it.
constexpr float kWireframePickPixels = 4.0f;
constexpr int kCaptureWidth = 5000;
constexpr int kCaptureHeight = 3000;
// A press that moves further than this (window pixels) before its release is a drag.
constexpr int kClickSlopPixels = 4;
// + and - scale a playing mode's amplitude by this.
constexpr double kAmplitudeStep = 1.25;

// A measurement for the results panel: the value with its unit.
std::string withUnit(const char* format, double value)
{
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

} // namespace

void MolApplet::keyPressEvent(unsigned short, vl::EKey key)
{
  // Nothing below may touch a structure when none was loaded.
  const bool haveStructure = mCurrentMolecule >= 0 && mCurrentMolecule < static_cast<int>(mMolecules.size());

  if (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) {
    if (key == vl::Key_O)
      openFileDialog();
    else if (key == vl::Key_S)
      saveViewDialog();
    return; // no plain key acts with Ctrl held
  }

  switch (key) {
  case vl::Key_Up:
  case vl::Key_Down:
  case vl::Key_Left:
  case vl::Key_Right: {
    if (mMolecules.empty())
      return;
    if (key == vl::Key_Left || key == vl::Key_Right)
      chooseMode(-1); // another structure: the mode stops
    if (key == vl::Key_Up)
      ++mCurrentStyle;
    else if (key == vl::Key_Down)
      --mCurrentStyle;
    else if (key == vl::Key_Left)
      --mCurrentMolecule;
    else
      ++mCurrentMolecule;
    const int count = static_cast<int>(mMolecules.size());
    if (mCurrentMolecule < 0)
      mCurrentMolecule = count - 1;
    if (mCurrentMolecule >= count)
      mCurrentMolecule = 0;
    if (mCurrentStyle < 0)
      mCurrentStyle = 3;
    if (mCurrentStyle > 3)
      mCurrentStyle = 0;
    // A style with larger atoms must not leave the eye inside them.
    vl::fvec3 beforeMin, beforeMax;
    const bool before = sceneManager() && sceneManager()->bounds(beforeMin, beforeMax);
    updateMolecule();
    if ((key == vl::Key_Up || key == vl::Key_Down) && trackball())
      trackball()->keepInView(rendering(), before ? &beforeMin : nullptr, before ? &beforeMax : nullptr);
    return;
  }

  case vl::Key_B: {
    if (!haveStructure || Nmat != 2 || !m_at1 || !m_at2 || m_at1 == m_at2)
      return;
    vl::Molecule* mol = mMolecules[static_cast<size_t>(mCurrentMolecule)].get();
    // Atoms picked in another structure are not this one's to bond.
    if (mol->indexOf(m_at1) < 0 || mol->indexOf(m_at2) < 0)
      return;
    vl::Bond* existing = mol->bond(m_at1, m_at2);
    if (!existing)
      existing = mol->bond(m_at2, m_at1);
    if (existing) {
      mol->eraseBond(existing);
    } else {
      vl::ref<vl::Bond> bond = vl::make_ref<vl::Bond>();
      bond->setAtom1(m_at1);
      bond->setAtom2(m_at2);
      bond->setBondType(vl::BT_Single);
      bond->setUseAtomColors(true);
      mol->addBond(bond);
    }
    mol->computeAtomAdjacency();
    updateMolecule();
    return;
  }

  case vl::Key_C: {
    if (!haveStructure)
      return;
    const vl::Molecule* mol = mMolecules[static_cast<size_t>(mCurrentMolecule)].get();
    // One write for the whole listing: the log flushes on every print, which
    // for a hundred thousand atoms takes longer than the formatting.
    std::string listing = "Cartesian coordinates of atoms for the current structure:\n";
    for (int i = 0; i < mol->atoms(); ++i) {
      const vl::Atom* a = mol->atom(i);
      const vl::fvec3& c = a->coordinates();
      listing += vl::Say("%s %n %n %n\n") << a->atomName() << c.x << c.y << c.z;
    }
    vl::Log::print(listing);
    return;
  }

  case vl::Key_O: { // along the smallest principal axis, the largest one horizontal
    vl::fvec3 axes[3];
    if (haveStructure && trackball() && GeomPrincipalAxes(*mMolecules[static_cast<size_t>(mCurrentMolecule)], axes))
      trackball()->adjustView(rendering(), axes[2], axes[1], 1.0f);
    return;
  }

  case vl::Key_R: // back to the view of the load
    if (trackball())
      trackball()->adjustView(rendering(), vl::fvec3(0, 0, 1), vl::fvec3(0, 1, 0), 1.0f);
    return;

  case vl::Key_Space:
    togglePlay();
    return;

  case vl::Key_L:
    toggleLabels();
    return;

  case vl::Key_E:
    toggleEnergyPlot();
    return;

  case vl::Key_V:
    toggleModeList();
    return;
  case vl::Key_PageDown:
  case vl::Key_PageUp:
    if (orbitalListShown())
      stepOrbital(key == vl::Key_PageDown ? 1 : -1);
    else
      stepMode(key == vl::Key_PageDown ? 1 : -1);
    return;
  case vl::Key_M:
    toggleOrbitalList();
    return;
  case vl::Key_BracketLeft:
  case vl::Key_BracketRight:
    scaleIsoValue(key == vl::Key_BracketRight ? 1.25 : 1.0 / 1.25);
    return;
  case vl::Key_T:
    toggleTranslucent();
    return;
  case vl::Key_K: // outlines where the depth jumps
    if (rendering()) {
      rendering()->setOutlines(!rendering()->outlines());
      if (openglContext())
        openglContext()->update();
    }
    return;
  case vl::Key_Plus:
  case vl::Key_Minus:
    if (mModes && mModePosition >= 0)
      mModes->amplitude *= key == vl::Key_Plus ? kAmplitudeStep : 1.0 / kAmplitudeStep;
    return;
  case vl::Key_A:
    toggleArrows();
    return;
  case vl::Key_S:
    toggleSpectrum();
    return;
  case vl::Key_Comma:
  case vl::Key_Period:
    if (mModes) {
      mModes->lineWidth = std::clamp(mModes->lineWidth * (key == vl::Key_Period ? 1.25 : 1.0 / 1.25), 0.5, 500.0);
      updateSpectrum();
      if (openglContext())
        openglContext()->update();
    }
    return;
  case vl::Key_W:
    writeSpectrum();
    return;

  case vl::Key_H:
    toggleShowHydrogens();
    if (haveStructure)
      updateMolecule();
    return;

  default:
    return;
  }
}

void MolApplet::keyReleaseEvent(unsigned short ch, vl::EKey key)
{
  if (key == vl::Key_F3) {
    QWidget* parent = qt5_window.get();
    const QColor colour = QColorDialog::getColor(QColor(Qt::black), parent, "Choose color",
                                                 QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog);
    // Cancelled: the background stays as it was.
    if (!colour.isValid() || !rendering())
      return;
    setBackground(vl::fvec4(static_cast<float>(colour.redF()), static_cast<float>(colour.greenF()),
                            static_cast<float>(colour.blueF()), static_cast<float>(colour.alphaF())));
    if (openglContext())
      openglContext()->update();
    return;
  }
  if (key == vl::Key_F1) {
    toggleHelp();
    return;
  }
  if (key == vl::Key_F4) {
    captureCanvas();
    return;
  }
  if (key == vl::Key_F5) {
    reloadFile();
    return;
  }
  vl::Applet::keyReleaseEvent(ch, key);
}

void MolApplet::mouseDownEvent(vl::EMouseButton bt, int x, int y)
{
  mPress = {bt, x, y, false};
}

void MolApplet::mouseMoveEvent(int x, int y)
{
  if (mPress.button != vl::NoButton &&
      (std::abs(x - mPress.x) > kClickSlopPixels || std::abs(y - mPress.y) > kClickSlopPixels))
    mPress.moved = true;
}

void MolApplet::mouseUpEvent(vl::EMouseButton bt, int, int)
{
  const Press press = mPress;
  mPress = {};
  if (bt == press.button && !press.moved)
    clickEvent(bt, press.x, press.y);
}

void MolApplet::clickEvent(vl::EMouseButton bt, int x, int y)
{
  if (mCurrentMolecule < 0 || mCurrentMolecule >= static_cast<int>(mMolecules.size()) || !rendering())
    return;

  if (bt == vl::LeftButton) {
    vl::OpenGLContext* ctx = openglContext();
    if (!ctx || !ctx->framebuffer())
      return;
    const int fbHeight = ctx->framebuffer()->height();
    // Events come in window pixels, the ray wants framebuffer pixels.
    x = vl::toFramebufferPixels(ctx, x);
    y = vl::toFramebufferPixels(ctx, y);
    // In the plot's band a click chooses the structure of the nearest point.
    const int band = plotBand();
    if (band > 0 && y >= fbHeight - band) {
      if (mModes && mModes->showSpectrum) {
        const int stick = mModes->spectrum ? mModes->spectrum->pointAt(x, y - (fbHeight - band)) : -1;
        if (stick >= 0 && stick < static_cast<int>(mModes->spectrumPositions.size()))
          chooseMode(mModes->spectrumPositions[static_cast<size_t>(stick)]);
        return;
      }
      const int point = mEnergyPlot ? mEnergyPlot->pointAt(x, y - (fbHeight - band)) : -1;
      if (point >= 0 && point < static_cast<int>(mPlotStructures.size())) {
        if (mModes && mModePosition >= 0)
          chooseMode(-1);
        mCurrentMolecule = mPlotStructures[static_cast<size_t>(point)];
        updateMolecule();
      }
      return;
    }
    // A click on a line of the mode list chooses that mode.
    if (mModes && mModes->showList && mModes->list && clickModeList(x, y))
      return;
    const vl::Camera* camera = rendering()->camera();
    const vl::Ray ray = camera->computeRay(x, fbHeight - y);

    // A fixed number of pixels is a world length proportional to the depth.
    vl::PickOptions options;
    const int vh = camera->viewport()->height() > 0 ? camera->viewport()->height() : fbHeight;
    const double halfFov = camera->fovY() * 0.5 * 3.14159265358979323846 / 180.0;
    options.wireframeRadiusPerDistance =
        static_cast<float>(kWireframePickPixels * 2.0 * std::tan(halfFov) / (vh > 0 ? vh : 1));
    // The ray starts on the near plane, not at the eye.
    options.wireframeRadius = options.wireframeRadiusPerDistance * (ray.origin - camera->eye()).length();

    const vl::Molecule& mol = *mMolecules[static_cast<size_t>(mCurrentMolecule)];
    const vl::PickResult hit = vl::pickFirst(mol, ray, options);
    if (!hit.atom)
      return;
    const vl::fvec3& c = hit.atom->coordinates();
    vl::Log::print(vl::Say("Atom = (%s) (%n,%n,%n).\n") << hit.atom->atomName() << c.x << c.y << c.z);
    showResults("");
    if (Nmat < 4) {
      selectAtom(hit.atom);
      updateMolecule();
    }
    return;
  }

  if (bt == vl::RightButton) {
    std::string panel;
    if (Nmat >= 2) {
      const double r = GeomRij(m_at1, m_at2);
      vl::Log::print(vl::Say("Distance (%s-%s)=%n\n") << m_at1->atomName() << m_at2->atomName() << r);
      panel += "Distance " + m_at1->atomName() + "-" + m_at2->atomName() + ": " + withUnit("%.4f \u00c5", r);
    }
    if (Nmat >= 3) {
      const double angle = GeomAngle(m_at1, m_at2, m_at3) * kRadToDeg;
      vl::Log::print(vl::Say("Angle (%s-%s-%s)=%n\n")
                     << m_at1->atomName() << m_at2->atomName() << m_at3->atomName() << angle);
      double cx = 0, cy = 0, cz = 0;
      GeomCentroid(m_at1, m_at2, m_at3, &cx, &cy, &cz);
      vl::Log::print(vl::Say("Centroid (%s,%s,%s)=(%n,%n,%n)\n")
                     << m_at1->atomName() << m_at2->atomName() << m_at3->atomName() << cx << cy << cz);
      const std::string three = m_at1->atomName() + "-" + m_at2->atomName() + "-" + m_at3->atomName();
      panel += "\nAngle " + three + ": " + withUnit("%.2f\u00b0", angle) + "\nCentroid: (" + withUnit("%.4f", cx) +
               ", " + withUnit("%.4f", cy) + ", " + withUnit("%.4f) \u00c5", cz);
    }
    if (Nmat >= 4) {
      const double outOfPlane = GeomOutOfPlane(m_at1, m_at2, m_at3, m_at4) * kRadToDeg;
      const double dihedral = GeomTorsion(m_at1, m_at2, m_at3, m_at4) * kRadToDeg;
      vl::Log::print(vl::Say("Out-of-plane angle (%s-%s-%s-%s)=%n\n")
                     << m_at1->atomName() << m_at2->atomName() << m_at3->atomName() << m_at4->atomName() << outOfPlane);
      vl::Log::print(vl::Say("Dihedral angle (%s-%s-%s-%s)=%n\n")
                     << m_at1->atomName() << m_at2->atomName() << m_at3->atomName() << m_at4->atomName() << dihedral);
      const std::string four =
          m_at1->atomName() + "-" + m_at2->atomName() + "-" + m_at3->atomName() + "-" + m_at4->atomName();
      panel += "\nOut-of-plane angle " + four + ": " + withUnit("%.2f\u00b0", outOfPlane) + "\nDihedral angle " + four +
               ": " + withUnit("%.2f\u00b0", dihedral);
    }
    if (Nmat >= 2)
      showResults(panel);
    clearSelection();
    updateMolecule();
  }
}

void MolApplet::selectAtom(vl::Atom* atom)
{
  vl::Atom** const selection[4] = {&m_at1, &m_at2, &m_at3, &m_at4};
  if (Nmat < 4)
    *selection[Nmat++] = atom;
}

void MolApplet::clearSelection()
{
  Nmat = 0;
}

void MolApplet::setBackground(const vl::fvec4& colour)
{
  if (rendering())
    rendering()->camera()->viewport()->setClearColor(colour);
  // Relative luminance of the colour as given (Rec. 709 weights).
  const double luminance = 0.2126 * colour.r + 0.7152 * colour.g + 0.0722 * colour.b;
  for (vl::Text* text : {mText.get(), mHelp.get(), mStatus.get(), mResults.get()})
    if (text)
      text->setColor(luminance > 0.5 ? vl::black : vl::white);
  updateLabels();
  updateEnergyPlot();
  updateModeList();
  updateSpectrum();
  updateOrbitalList();
}

void MolApplet::showResults(const std::string& lines)
{
  if (mResults)
    mResults->setText(lines);
}

void MolApplet::toggleEnergyPlot()
{
  mPlotChosen = true;
  mShowPlot = !mShowPlot;
  if (!mMolecules.empty())
    updateText();
  else
    updateEnergyPlot();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::toggleLabels()
{
  mShowLabels = !mShowLabels;
  updateLabels();
}

void MolApplet::openFileDialog()
{
  const QString file = QFileDialog::getOpenFileName(qt5_window.get(), "Open a structure file", QString(), QString(),
                                                    nullptr, QFileDialog::DontUseNativeDialog);
  if (file.isEmpty())
    return; // cancelled
  fileDroppedEvent({vl::String(QFile::encodeName(file).toStdString())});
  if (openglContext())
    openglContext()->update();
}

void MolApplet::saveViewDialog()
{
  vl::OpenGLContext* ctx = openglContext();
  if (!ctx || !ctx->isInitialized() || !rendering())
    return;
  const QString file = QFileDialog::getSaveFileName(qt5_window.get(), "Save the view as PNG",
                                                    QString::fromStdString(getInpFName() + ".png"),
                                                    "PNG images (*.png)", nullptr, QFileDialog::DontUseNativeDialog);
  if (file.isEmpty())
    return;
  ctx->makeCurrent();
  std::string error;
  const vl::Viewport* viewport = rendering()->camera()->viewport();
  if (!vl::captureToPng(rendering(), viewport->width(), viewport->height(), file.toStdString(), &error))
    vl::Log::print(vl::Say("Could not save the image %s: %s\n") << file.toStdString() << error);
  else
    vl::Log::print(vl::Say("Saved the view as %s\n") << file.toStdString());
}

void MolApplet::togglePlay()
{
  if (mPlayTimer) {
    mPlayTimer.reset();
    return;
  }
  if (mMolecules.size() < 2)
    return; // nothing to step through
  mPlayTimer = std::make_unique<QTimer>();
  QObject::connect(mPlayTimer.get(), &QTimer::timeout, [this] {
    keyPressEvent(0, vl::Key_Right);
    if (openglContext())
      openglContext()->update();
  });
  mPlayTimer->start(100);
}

void MolApplet::toggleHelp()
{
  // Two keys a line, so that the whole list fits the default window.
  static const char* const kHelp = "Keys\n"
                                   "  Left, Right  structure     Up, Down  style\n"
                                   "  Space  play or pause       H  hydrogens\n"
                                   "  C  print coordinates       B  bond two picked atoms\n"
                                   "  L  atom names              E  energy plot\n"
                                   "  O  face-on                 R  view of the load\n"
                                   "  V  normal modes            A  displacement arrows\n"
                                   "  PgDn, PgUp  mode/orbital   +, -  larger, smaller\n"
                                   "  S  IR spectrum             , .  narrower, wider lines\n"
                                   "  W  write the spectrum      K  outlines\n"
                                   "  M  orbitals                [ ]  lower, raise iso value\n"
                                   "  T  translucent surfaces    Ctrl+O  open a file\n"
                                   "  Ctrl+S  save the view      F1  this help\n"
                                   "  F3  background colour      F4  save a 5000 x 3000 PNG\n"
                                   "  F5  read the file again    Escape  close\n"
                                   "Mouse\n"
                                   "  left click  pick (up to four); on a list or plot, choose\n"
                                   "  right click  measure the picked atoms\n"
                                   "  left drag  turn            middle drag  move\n"
                                   "  right drag, wheel  zoom    drop a file  load it";
  if (!mHelp)
    return;
  mHelp->setText(mHelp->text().empty() ? kHelp : "");
  if (openglContext())
    openglContext()->update();
}

void MolApplet::captureCanvas()
{
  // Straight to standard output, ahead of anything the capture may log.
  std::cout << "Capturing image...\n" << std::flush;

  const std::string fileName = getInpFName() + ".png";
  vl::OpenGLContext* ctx = openglContext();
  if (!ctx || !ctx->isInitialized() || !rendering()) {
    vl::Log::print(vl::Say("Could not capture the image %s: the window has no OpenGL context.\n") << fileName);
    return;
  }
  ctx->makeCurrent();
  std::string error;
  if (!vl::captureToPng(rendering(), kCaptureWidth, kCaptureHeight, fileName, &error))
    vl::Log::print(vl::Say("Could not save the image %s: %s\n") << fileName << error);
}

bool MolApplet::orbitalListShown() const
{
  return mOrbitals && mOrbitals->showList;
}
