// Normal modes in the window: the list, the motion, the arrows and the IR spectrum.
#include "app/molapp_modes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include <QFontMetrics>

#include "core/chemistry/vibration.h"
#include "core/model/log.h"
#include "core/model/say.h"
#include "view/capture.h"
#include "view/openglcontext.h"
#include "view/plot.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// One swing a second, whatever the mode's frequency; thirty frames a second.
constexpr int kFrameMilliseconds = 33;
constexpr double kSwingMilliseconds = 1000.0;
// Arrows show the displacement at this many times the amplitude, from the atom's centre.
constexpr float kArrowScale = 4.0f;
const vl::fvec4 kArrowColor(1.0f, 0.55f, 0.0f, 1.0f);

std::string frequencyText(double frequency)
{
  char text[32];
  // Programs print an imaginary frequency as a negative one: shown as 523.41i.
  std::snprintf(text, sizeof text, frequency < 0 ? "%9.2fi" : "%9.2f ", std::fabs(frequency));
  return text;
}

} // namespace

// ---- choosing and playing ----

void MolApplet::stopMode()
{
  if (!mModes)
    return;
  mModes->timer.reset();
  if (mModes->structure && static_cast<int>(mModes->rest.size()) == mModes->structure->atoms())
    for (int i = 0; i < mModes->structure->atoms(); ++i)
      mModes->structure->atom(i)->setCoordinates(mModes->rest[static_cast<size_t>(i)]);
  mModes->rest.clear();
  mModes->displacement.clear();
}

void MolApplet::chooseMode(int position)
{
  if (!mModes)
    mModes = std::make_unique<ModeView>();
  stopMode();
  // The modes belong to the last structure that has them; the list may have changed since.
  vl::Molecule* structure = const_cast<vl::Molecule*>(StructureWithModes(mMolecules));
  if (structure != mModes->structure) {
    mModes->structure = structure;
    mModes->order.clear();
    if (structure) {
      const auto& modes = structure->calculation().modes;
      for (int k = 0; k < static_cast<int>(modes.size()); ++k)
        mModes->order.push_back(k);
      std::stable_sort(mModes->order.begin(), mModes->order.end(), [&](int a, int b) {
        return modes[static_cast<size_t>(a)].frequency < modes[static_cast<size_t>(b)].frequency;
      });
    }
  }
  mModePosition = structure && position >= 0 && position < static_cast<int>(mModes->order.size()) ? position : -1;
  if (mModePosition >= 0) {
    const vl::NormalMode& mode =
        structure->calculation().modes[static_cast<size_t>(mModes->order[static_cast<size_t>(mModePosition)])];
    mModes->displacement = CentredDisplacement(*structure, mode);
    if (mModes->displacement.empty()) {
      mModePosition = -1; // vectors that do not fit the structure: nothing to play
    } else {
      for (size_t k = 0; k < mMolecules.size(); ++k)
        if (mMolecules[k].get() == structure)
          mCurrentMolecule = static_cast<int>(k);
      for (const auto& atom : structure->atomList())
        mModes->rest.push_back(atom->coordinates());
      mModes->amplitude = DefaultAmplitude(mModes->displacement);
      mModes->timer = std::make_unique<QTimer>();
      QObject::connect(mModes->timer.get(), &QTimer::timeout, [this] { showModeFrame(); });
      mModes->clock.start();
      mModes->timer->start(kFrameMilliseconds);
    }
  }
  updateMolecule();
  updateModeList();
  updateSpectrum();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::stepMode(int step)
{
  if (!mModes || !mModes->structure)
    chooseMode(-1); // finds the modes
  if (!mModes->structure)
    return;
  const int count = static_cast<int>(mModes->order.size());
  chooseMode(std::clamp(mModePosition + step, -1, count - 1));
}

void MolApplet::showModeFrame()
{
  if (!mModes || !mModes->structure || mModes->rest.empty())
    return;
  const double phase = 2.0 * kPi * static_cast<double>(mModes->clock.elapsed()) / kSwingMilliseconds;
  vl::Molecule& structure = *mModes->structure;
  const float s = static_cast<float>(mModes->amplitude * std::sin(phase));
  // The bonds stay as they are and follow their atoms.
  for (int i = 0; i < structure.atoms(); ++i)
    structure.atom(i)->setCoordinates(mModes->rest[static_cast<size_t>(i)] +
                                      mModes->displacement[static_cast<size_t>(i)] * s);
  if (sceneManager())
    sceneManager()->showMolecule(structure, modeArrows());
  updateLabels();
}

std::vector<vl::Arrow> MolApplet::modeArrows() const
{
  std::vector<vl::Arrow> arrows;
  if (!mModes || !mModes->showArrows || mModePosition < 0 || !mModes->structure)
    return arrows;
  const vl::Molecule& structure = *mModes->structure;
  float longest = 0;
  for (const vl::fvec3& d : mModes->displacement)
    longest = std::max(longest, d.length());
  const float scale = kArrowScale * static_cast<float>(mModes->amplitude);
  for (int i = 0; i < structure.atoms() && i < static_cast<int>(mModes->displacement.size()); ++i) {
    const vl::fvec3& d = mModes->displacement[static_cast<size_t>(i)];
    if (!structure.atom(i)->visible() || d.length() < 0.05f * longest)
      continue; // atoms that hardly move get no arrow
    const vl::fvec3& x = structure.atom(i)->coordinates();
    arrows.push_back({x, x + d * scale, 0.04f, kArrowColor});
  }
  return arrows;
}

void MolApplet::toggleArrows()
{
  if (!mModes)
    mModes = std::make_unique<ModeView>();
  mModes->showArrows = !mModes->showArrows;
  if (mModes->structure && mModePosition >= 0 && sceneManager())
    sceneManager()->showMolecule(*mModes->structure, modeArrows());
}

// ---- the list ----

void MolApplet::toggleModeList()
{
  if (!mModes || !mModes->structure)
    chooseMode(mModePosition); // finds the modes
  mModes->showList = !mModes->showList;
  updateModeList();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::updateModeList()
{
  if (!mModes || (!mModes->list && !mModes->showList))
    return; // the list joins the scene the first time it is shown
  if (!mModes->list) {
    mModes->list = vl::make_ref<vl::Text>();
    mModes->list->setAlignment(vl::AlignLeft | vl::AlignTop);
    mModes->list->setViewportAlignment(vl::AlignLeft | vl::AlignTop);
    mModes->list->translate(5, -30, 0);
    if (sceneManager())
      sceneManager()->addText(mModes->list);
  }
  vl::Text& list = *mModes->list;
  if (mText) {
    list.setFont(mText->font());
    list.setColor(mText->color());
  }
  if (!mModes->showList) {
    list.setText("");
    return;
  }
  if (!mModes->structure) {
    list.setText("No normal modes in this file");
    return;
  }
  // A window of lines around the chosen mode, as many as the view holds.
  const auto& modes = mModes->structure->calculation().modes;
  const int count = static_cast<int>(mModes->order.size());
  const int rows = std::max(5, (rendering() ? rendering()->camera()->viewport()->height() : 512) / 16 - 8);
  const int first = std::clamp(mModePosition - rows / 2, 0, std::max(0, count - rows));
  std::string text = "  mode  cm-1       km/mol\n";
  text += mModePosition < 0 ? "> no mode\n" : "  no mode\n";
  for (int p = first; p < count && p < first + rows; ++p) {
    const vl::NormalMode& m = modes[static_cast<size_t>(mModes->order[static_cast<size_t>(p)])];
    char line[96];
    char intensity[24] = "";
    if (m.irIntensity)
      std::snprintf(intensity, sizeof intensity, "%9.2f", *m.irIntensity);
    std::snprintf(line, sizeof line, "%s%4d %s %s\n", p == mModePosition ? "> " : "  ",
                  mModes->order[static_cast<size_t>(p)] + 1, frequencyText(m.frequency).c_str(), intensity);
    text += line;
  }
  text.pop_back();
  list.setText(text);
}

// ---- the spectrum ----

void MolApplet::toggleSpectrum()
{
  if (!mModes || !mModes->structure)
    chooseMode(mModePosition);
  mModes->showSpectrum = !mModes->showSpectrum;
  updateSpectrum();
  updateText(); // the band and the corner texts
  if (openglContext())
    openglContext()->update();
}

void MolApplet::updateSpectrum()
{
  if (!mModes)
    return;
  if (!mModes->spectrum)
    mModes->spectrum = vl::make_ref<vl::Plot>();
  vl::Plot& plot = *mModes->spectrum;
  std::vector<vl::Plot::Point> sticks;
  mModes->spectrumPositions.clear();
  int marked = -1;
  double low = 0, high = 0;
  if (mModes->structure) {
    const auto& modes = mModes->structure->calculation().modes;
    for (int p = 0; p < static_cast<int>(mModes->order.size()); ++p) {
      const vl::NormalMode& m = modes[static_cast<size_t>(mModes->order[static_cast<size_t>(p)])];
      if (!m.irIntensity)
        continue;
      if (p == mModePosition)
        marked = static_cast<int>(sticks.size());
      sticks.push_back({m.frequency, *m.irIntensity});
      mModes->spectrumPositions.push_back(p);
      low = std::min(low, m.frequency);
      high = std::max(high, m.frequency);
    }
  }
  // Lorentzian lines of full width lineWidth at half height, each as tall as its stick.
  std::vector<vl::Plot::Point> curve;
  if (!sticks.empty()) {
    const double half = 0.5 * mModes->lineWidth, from = low - 100, to = high + 100;
    const int samples = 1000;
    for (int k = 0; k <= samples; ++k) {
      const double x = from + (to - from) * k / samples;
      double y = 0;
      for (const auto& s : sticks)
        y += s.y * half * half / ((x - s.x) * (x - s.x) + half * half);
      curve.push_back({x, y});
    }
  }
  plot.setSticks(true);
  plot.setPoints(std::move(sticks));
  plot.setCurve(std::move(curve));
  plot.setMarked(marked);
  char title[96];
  std::snprintf(title, sizeof title, "IR (km/mol) against wavenumber (cm-1), lines %.1f cm-1 wide", mModes->lineWidth);
  plot.setTitle(mModes->spectrumPositions.empty() ? "No IR intensities in this file" : title);
  if (mText) {
    plot.setFont(mText->drawingFont());
    plot.setColors(mText->color(), rendering() ? rendering()->camera()->viewport()->clearColor() : vl::black);
  }
}

void MolApplet::writeSpectrum()
{
  if (!mModes || !mModes->spectrum || mModes->spectrumPositions.empty())
    return;
  const std::string csv = getInpFName() + "-spectrum.csv", png = getInpFName() + "-spectrum.png";
  {
    std::ofstream out(csv);
    out << "wavenumber_cm-1,ir_km_mol\n";
    char line[64];
    for (const vl::Plot::Point& p : mModes->spectrum->curve()) {
      std::snprintf(line, sizeof line, "%.2f,%.6f\n", p.x, p.y);
      out << line;
    }
    if (!out)
      vl::Log::print(vl::Say("Could not write %s\n") << csv);
  }
  std::string error;
  const QImage image = mModes->spectrum->image(1200, 600).copy();
  if (!vl::writePng(image, png, &error))
    vl::Log::print(vl::Say("Could not save the image %s: %s\n") << png << error);
  else
    vl::Log::print(vl::Say("Saved the spectrum as %s and %s\n") << csv << png);
}

bool MolApplet::clickModeList(int x, int y)
{
  if (!rendering() || !mModes || !mModes->structure)
    return false;
  const vl::Viewport* vp = rendering()->camera()->viewport();
  const std::vector<vl::Text::PlacedLine> lines = mModes->list->layout(vp->width(), vp->height());
  const QFontMetrics metrics(mModes->list->drawingFont());
  for (size_t k = 2; k < lines.size(); ++k) { // below the header and "no mode"
    const QPoint& base = lines[k].baseline;
    if (y > base.y() - metrics.ascent() && y <= base.y() + metrics.descent() && x >= base.x() &&
        x < base.x() + metrics.horizontalAdvance(lines[k].text)) {
      // The line names the program's mode number; find its position in the list.
      const int number = lines[k].text.mid(2).trimmed().section(' ', 0, 0).toInt();
      const auto it = std::find(mModes->order.begin(), mModes->order.end(), number - 1);
      if (it != mModes->order.end())
        chooseMode(static_cast<int>(it - mModes->order.begin()));
      return true;
    }
  }
  if (lines.size() > 1 && y > lines[1].baseline.y() - metrics.ascent() &&
      y <= lines[1].baseline.y() + metrics.descent()) {
    chooseMode(-1);
    return true;
  }
  return false;
}

std::string MolApplet::showModeArrows(int number)
{
  chooseMode(-1); // finds the modes
  if (!mModes->structure)
    return "'" + mFile + "' gives no normal modes";
  const auto it = std::find(mModes->order.begin(), mModes->order.end(), number - 1);
  if (number < 1 || it == mModes->order.end())
    return "Mode " + std::to_string(number) + " does not exist: '" + mFile + "' gives modes 1 to " +
           std::to_string(mModes->order.size());
  chooseMode(static_cast<int>(it - mModes->order.begin()));
  mModes->timer.reset(); // a still picture: the atoms stay at rest
  if (!mModes->showArrows)
    toggleArrows();
  return {};
}
