#include "app/molapp.h"
#include "app/molapp_modes.h"

#include <cmath>
#include <cstdio>

#include <QFontMetrics>

#include "core/model/elements.h"
#include "core/model/say.h"
#include "view/plot.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/text.h"

// Ball radii for ball-and-stick by atomic number (angstrom): rising along each
// period, flat across the lanthanides and actinides. Index 0 is unused.
extern const float at_rad[119];
const float at_rad[119] = {
    0.00f, 0.15f, 0.17f,                                                  // H-He
    0.20f, 0.22f, 0.24f, 0.26f, 0.28f, 0.30f, 0.32f, 0.34f,               // Li-Ne
    0.30f, 0.32f, 0.34f, 0.36f, 0.38f, 0.40f, 0.42f, 0.44f,               // Na-Ar
    0.40f, 0.41f, 0.42f, 0.43f, 0.44f, 0.45f, 0.46f, 0.47f, 0.48f, 0.49f, // K-Ni
    0.50f, 0.51f, 0.52f, 0.53f, 0.54f, 0.55f, 0.56f, 0.57f,               // Cu-Kr
    0.50f, 0.51f, 0.52f, 0.53f, 0.54f, 0.55f, 0.56f, 0.57f, 0.58f, 0.59f, // Rb-Pd
    0.60f, 0.61f, 0.62f, 0.63f, 0.64f, 0.65f, 0.66f, 0.67f,               // Ag-Xe
    0.60f, 0.61f, 0.62f,                                                  // Cs-La
    0.62f, 0.62f, 0.62f, 0.62f, 0.62f, 0.62f, 0.62f,                      // Ce-Gd
    0.62f, 0.62f, 0.62f, 0.62f, 0.62f, 0.62f, 0.62f,                      // Tb-Lu
    0.63f, 0.64f, 0.65f, 0.66f, 0.67f, 0.68f, 0.69f, 0.70f, 0.71f, 0.72f, // Hf-Hg
    0.73f, 0.74f, 0.75f, 0.76f, 0.77f,                                    // Tl-Rn
    0.70f, 0.71f, 0.72f,                                                  // Fr-Ac
    0.72f, 0.72f, 0.72f, 0.72f, 0.72f, 0.72f, 0.72f,                      // Th-Cm
    0.72f, 0.72f, 0.72f, 0.72f, 0.72f, 0.72f, 0.72f,                      // Bk-Lr
    0.73f, 0.74f, 0.75f, 0.76f, 0.77f, 0.78f, 0.79f, 0.80f, 0.81f, 0.82f, // Rf-Rg
    0.83f, 0.84f, 0.85f, 0.86f, 0.87f,                                    // Cn-Og
};

namespace {

constexpr double kKcalPerHartree = 627.509474;
// The share of the window's height the energy plot takes under the structure.
constexpr float kPlotBand = 0.28f;

// Unknown elements keep the uniform ball radius that ball-and-stick starts from.
constexpr float kUnknownBallRadius = 0.3f;

float ballRadius(const vl::Atom* atom)
{
  const int z = vl::atomInfo(atom->atomType()).atomicNumber();
  return (z >= 0 && z <= 118) ? at_rad[z] : kUnknownBallRadius;
}

// Thinner bonds for smaller atoms: m (0.6 - m / (m + 2)), m the smaller ball.
float bondRadius(float r1, float r2)
{
  const double m = r1 < r2 ? r1 : r2;
  return static_cast<float>(m * (0.6 - m / (m + 2.0)));
}

} // namespace

void MolApplet::updateMolecule()
{
  if (mCurrentMolecule < 0 || mCurrentMolecule >= static_cast<int>(mMolecules.size()) ||
      !mMolecules[static_cast<size_t>(mCurrentMolecule)])
    return;
  vl::Molecule& mol = *mMolecules[static_cast<size_t>(mCurrentMolecule)];

  switch (mCurrentStyle) {
  case 0:
    mol.setMoleculeStyle(vl::MS_Wireframe);
    mol.setCPKAtomColors();
    mol.setLineWidth(2.0f);
    mol.setSmoothLines(true);
    break;
  case 1:
    mol.setMoleculeStyle(vl::MS_BallAndStick);
    mol.setCPKAtomColors();
    mol.setAtomRadii(0.3f);
    mol.setBondRadii(0.15f);
    for (const auto& atom : mol.atomList())
      atom->setRadius(ballRadius(atom.get()));
    for (const auto& bond : mol.bondList()) {
      if (bond->atom1() && bond->atom2())
        bond->setRadius(bondRadius(ballRadius(bond->atom1()), ballRadius(bond->atom2())));
    }
    break;
  case 2:
    mol.setMoleculeStyle(vl::MS_Sticks);
    mol.setCPKAtomColors();
    mol.setBondRadii(0.1f);
    break;
  case 3:
    mol.setMoleculeStyle(vl::MS_AtomsOnly);
    mol.setCPKAtomColors();
    mol.setVanDerWaalsAtomRadii(1.0f);
    break;
  default:
    break;
  }

  // After the CPK reset, so that only the atoms picked now stay highlighted.
  const vl::fvec4 highlight(0.45f, 1.0f, 1.0f, 1.0f);
  vl::Atom* const picked[] = {m_at1, m_at2, m_at3, m_at4};
  for (int i = 0; i < Nmat && i < 4; ++i)
    if (picked[i])
      picked[i]->setColor(highlight);

  mol.setAtomTypeVisible(vl::AT_Hydrogen, show_hydrogens);

  if (sceneManager())
    sceneManager()->showMolecule(mol, modeArrows());

  updateLabels();
  updateText();
}

void MolApplet::showStructure(int index, int style)
{
  if (index < 0 || index >= static_cast<int>(mMolecules.size()) || style < 0 || style > 3)
    return;
  mCurrentMolecule = index;
  mCurrentStyle = style;
  updateMolecule();
}

void MolApplet::updateLabels()
{
  if (!sceneManager())
    return;
  std::vector<vl::Label> labels;
  if (mCurrentMolecule >= 0 && mCurrentMolecule < static_cast<int>(mMolecules.size())) {
    const vl::Molecule& mol = *mMolecules[static_cast<size_t>(mCurrentMolecule)];
    // Beside the drawn atom: its ball, the stick end, or the centre of the lines.
    auto drawnRadius = [this](const vl::Atom& atom) {
      return mCurrentStyle == 1 || mCurrentStyle == 3 ? atom.radius() : mCurrentStyle == 2 ? 0.1f : 0.0f;
    };
    if (mShowLabels)
      for (const auto& atom : mol.atomList())
        if (atom->visible())
          labels.push_back({atom->coordinates(), drawnRadius(*atom), atom->atomName(), false});
    vl::Atom* const picked[] = {m_at1, m_at2, m_at3, m_at4};
    for (int i = 0; i < Nmat && i < 4; ++i)
      if (picked[i] && mol.indexOf(picked[i]) >= 0)
        labels.push_back({picked[i]->coordinates(), drawnRadius(*picked[i]), std::to_string(i + 1), true});
  }
  sceneManager()->setLabels(std::move(labels), mText ? mText->color() : vl::white);
}

void MolApplet::updateText()
{
  if (mCurrentMolecule < 0 || mCurrentMolecule >= static_cast<int>(mMolecules.size()) ||
      !mMolecules[static_cast<size_t>(mCurrentMolecule)] || !mText)
    return;
  std::string text = mMolecules[static_cast<size_t>(mCurrentMolecule)]->moleculeName();
  text += vl::Say(" (%n/%n)") << mCurrentMolecule + 1 << mMolecules.size();
  text += ": use the arrow keys to change molecule and style";
  mText->setText(text);

  static const char* const kStyleNames[] = {"Wireframe", "Ball and stick", "Sticks", "Space filling"};
  std::string status = kStyleNames[mCurrentStyle >= 0 && mCurrentStyle < 4 ? mCurrentStyle : 1];
  if (!show_hydrogens)
    status += " | H hidden";
  const vl::Calculation& calculation = mMolecules[static_cast<size_t>(mCurrentMolecule)]->calculation();
  if (calculation.totalEnergy) {
    double lowest = *calculation.totalEnergy;
    for (const auto& m : mMolecules)
      if (const auto& e = m->calculation().totalEnergy)
        lowest = std::min(lowest, *e);
    char energyText[96];
    std::snprintf(energyText, sizeof energyText, " | E = %.8f Eh | \u0394E = %.2f kcal/mol", *calculation.totalEnergy,
                  (*calculation.totalEnergy - lowest) * kKcalPerHartree);
    status += energyText;
  }
  if (const std::optional<bool> converged = calculation.convergence.converged())
    status += *converged ? " | converged" : " | not converged";
  if (!calculation.title.empty())
    status += " | " + calculation.title;
  // One line: a long title is cut short to the window's width.
  if (mStatus && rendering() && rendering()->camera()->viewport()->width() > 0) {
    const QFontMetrics metrics(mStatus->drawingFont());
    status =
        metrics
            .elidedText(QString::fromStdString(status), Qt::ElideRight, rendering()->camera()->viewport()->width() - 10)
            .toStdString();
  }
  if (mStatus)
    mStatus->setText(status);

  // The corner texts stand above the plot's band.
  const float band = static_cast<float>(plotBand());
  if (mStatus)
    mStatus->setOffset(vl::fvec3(-5, 5 + band, 0));
  if (mResults)
    mResults->setOffset(vl::fvec3(5, 5 + band, 0));
  updateEnergyPlot();
}

int MolApplet::plotBand() const
{
  const bool spectrum = mModes && mModes->showSpectrum;
  if ((!mShowPlot && !spectrum) || !rendering())
    return 0;
  return static_cast<int>(std::lround(kPlotBand * static_cast<float>(rendering()->camera()->viewport()->height())));
}

void MolApplet::updateEnergyPlot()
{
  if (!mEnergyPlot)
    mEnergyPlot = vl::make_ref<vl::Plot>();
  std::vector<vl::Plot::Point> points;
  mPlotStructures.clear();
  double lowest = HUGE_VAL;
  for (const auto& m : mMolecules)
    if (const auto& e = m->calculation().totalEnergy)
      lowest = std::min(lowest, *e);
  int marked = -1;
  for (size_t k = 0; k < mMolecules.size(); ++k)
    if (const auto& e = mMolecules[k]->calculation().totalEnergy) {
      if (static_cast<int>(k) == mCurrentMolecule)
        marked = static_cast<int>(points.size());
      points.push_back({static_cast<double>(k + 1), (*e - lowest) * kKcalPerHartree});
      mPlotStructures.push_back(static_cast<int>(k));
    }
  mEnergyPlot->setPoints(std::move(points));
  mEnergyPlot->setMarked(marked);
  mEnergyPlot->setTitle(mPlotStructures.empty() ? "No energies in this file"
                                                : "\u0394E (kcal/mol) against structure number");
  if (mText) {
    mEnergyPlot->setFont(mText->drawingFont());
    mEnergyPlot->setColors(mText->color(), rendering() ? rendering()->camera()->viewport()->clearColor() : vl::black);
  }
  // One plot at a time in the band: the spectrum when shown, else the energies.
  const bool spectrum = mModes && mModes->showSpectrum;
  if (rendering())
    rendering()->camera()->setBottomInset(mShowPlot || spectrum ? kPlotBand : 0.0f);
  if (sceneManager())
    sceneManager()->setPanel(spectrum ? mModes->spectrum : mShowPlot ? mEnergyPlot : nullptr);
}
