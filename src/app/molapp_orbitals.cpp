// Orbitals and the density in the window: the list (M), the chosen one as
// two isosurfaces, the iso value ([ and ]) and translucency (T).
#include "app/molapp_orbitals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/chemistry/isosurface.h"
#include "core/model/log.h"
#include "core/model/say.h"
#include "core/orbitals/readers.h"
#include "view/openglcontext.h"
#include "view/rendering.h"
#include "view/scenemanager.h"
#include "view/surfacerenderer.h"
#include "view/text.h"
#include "view/trackball.h"

namespace {

constexpr float kBohrToAngstrom = 0.529177210903f;
const vl::fvec4 kPositive(0.2f, 0.4f, 1.0f, 1.0f), kNegative(1.0f, 0.25f, 0.2f, 1.0f),
    kDensity(0.7f, 0.7f, 0.75f, 1.0f);
constexpr float kTranslucent = 0.55f;

// The evaluated grid in angstrom, for the surface extraction.
chem::ScalarGrid InAngstrom(const orb::Grid& g)
{
  chem::ScalarGrid s;
  s.origin =
      vl::fvec3(static_cast<float>(g.origin[0]), static_cast<float>(g.origin[1]), static_cast<float>(g.origin[2])) *
      kBohrToAngstrom;
  s.step =
      vl::fvec3(static_cast<float>(g.axes[0][0]), static_cast<float>(g.axes[1][1]), static_cast<float>(g.axes[2][2])) *
      kBohrToAngstrom;
  s.nx = g.counts[0], s.ny = g.counts[1], s.nz = g.counts[2];
  s.values = g.values;
  return s;
}

} // namespace

void MolApplet::forgetOrbitals()
{
  if (sceneManager())
    sceneManager()->showSurfaces({});
  const bool shown = mOrbitals && mOrbitals->showList;
  vl::ref<vl::Text> text = mOrbitals ? mOrbitals->text : nullptr;
  mOrbitals = std::make_unique<OrbitalView>();
  mOrbitals->showList = shown;
  mOrbitals->text = text;
  updateOrbitalList();
}

// The wave function of the last file, read the first time it is asked for.
bool MolApplet::haveWavefunction()
{
  if (!mOrbitals)
    mOrbitals = std::make_unique<OrbitalView>();
  OrbitalView& o = *mOrbitals;
  if (!o.read || o.file != mFile) {
    o.read = true;
    o.file = mFile;
    o.problem.clear();
    o.list.clear();
    if (mFile.empty() || !orb::ReadWavefunction(mFile, o.wavefunction, o.problem)) {
      if (o.problem.empty())
        o.problem = "no orbitals in this file";
    } else {
      o.list = orb::ListOrbitals(o.wavefunction);
    }
  }
  return o.problem.empty() && !o.list.empty();
}

void MolApplet::toggleOrbitalList()
{
  haveWavefunction();
  mOrbitals->showList = !mOrbitals->showList;
  updateOrbitalList();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::stepOrbital(int step)
{
  if (!haveWavefunction())
    return;
  const int last = static_cast<int>(mOrbitals->list.size());
  int position = mOrbitals->position;
  // From nothing, PgDn goes to the HOMO rather than the deepest core orbital.
  if (position < 0 && step > 0) {
    for (int k = 0; k < last; ++k)
      if (mOrbitals->list[static_cast<size_t>(k)].homo) {
        chooseOrbital(k + 1);
        return;
      }
  }
  chooseOrbital(std::clamp(position + step, -1, last));
}

void MolApplet::chooseOrbital(int position)
{
  if (!haveWavefunction())
    return;
  OrbitalView& o = *mOrbitals;
  o.position = std::clamp(position, -1, static_cast<int>(o.list.size()));
  o.grid = orb::Grid();
  if (o.position >= 0) {
    orb::OrbitalChoice choice;
    if (o.position == 0) {
      choice.kind = orb::OrbitalChoice::Kind::Density;
    } else {
      const orb::OrbitalInfo& info = o.list[static_cast<size_t>(o.position - 1)];
      choice.kind = orb::OrbitalChoice::Kind::Number;
      choice.offset = info.number;
      choice.spin = info.spin;
    }
    orb::GridResult result = orb::EvaluateOrbital(o.wavefunction, choice);
    if (!result.ok()) {
      vl::Log::print(vl::Say("%s: %s\n") << mFile << result.error);
      o.position = -1;
    } else {
      o.grid = std::move(result.grid);
      vl::Log::print(vl::Say("Showing %s\n") << result.description);
    }
  }
  updateSurfaces();
  updateOrbitalList();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::updateSurfaces()
{
  if (!sceneManager() || !mOrbitals)
    return;
  const OrbitalView& o = *mOrbitals;
  std::vector<vl::Surface> surfaces;
  if (o.position >= 0 && !o.grid.values.empty()) {
    const chem::ScalarGrid grid = InAngstrom(o.grid);
    const float opacity = o.translucent ? kTranslucent : 1.0f;
    if (o.position == 0) {
      surfaces.push_back({chem::ExtractIsosurface(grid, static_cast<float>(o.densityIso)), kDensity, opacity});
    } else {
      const float iso = static_cast<float>(o.orbitalIso);
      surfaces.push_back({chem::ExtractIsosurface(grid, iso), kPositive, opacity});
      surfaces.push_back({chem::ExtractIsosurface(grid, -iso), kNegative, opacity});
    }
  }
  vl::fvec3 beforeMin, beforeMax;
  const bool before = sceneManager()->bounds(beforeMin, beforeMax);
  sceneManager()->showSurfaces(std::move(surfaces));
  // Larger surfaces must not leave the eye inside them.
  if (trackball())
    trackball()->keepInView(rendering(), before ? &beforeMin : nullptr, before ? &beforeMax : nullptr);
}

void MolApplet::scaleIsoValue(double factor)
{
  if (!mOrbitals || mOrbitals->position < 0)
    return;
  double& iso = mOrbitals->position == 0 ? mOrbitals->densityIso : mOrbitals->orbitalIso;
  iso = std::clamp(iso * factor, 1e-6, 10.0);
  updateSurfaces();
  updateOrbitalList();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::toggleTranslucent()
{
  if (!mOrbitals)
    return;
  mOrbitals->translucent = !mOrbitals->translucent;
  updateSurfaces();
  if (openglContext())
    openglContext()->update();
}

void MolApplet::updateOrbitalList()
{
  if (!mOrbitals || (!mOrbitals->text && !mOrbitals->showList))
    return; // the list joins the scene the first time it is shown
  OrbitalView& o = *mOrbitals;
  if (!o.text) {
    o.text = vl::make_ref<vl::Text>();
    o.text->setAlignment(vl::AlignRight | vl::AlignTop);
    o.text->setViewportAlignment(vl::AlignRight | vl::AlignTop);
    o.text->setTextAlignment(vl::TextAlignLeft);
    o.text->translate(-5, -30, 0);
    if (sceneManager())
      sceneManager()->addText(o.text);
  }
  if (mText) {
    o.text->setFont(mText->font());
    o.text->setColor(mText->color());
  }
  if (!o.showList) {
    o.text->setText("");
    return;
  }
  if (!o.problem.empty() || o.list.empty()) {
    o.text->setText(o.problem.empty() ? "No orbitals in this file" : o.problem);
    return;
  }
  const int count = static_cast<int>(o.list.size());
  const int rows = std::max(5, (rendering() ? rendering()->camera()->viewport()->height() : 512) / 16 - 10);
  const int chosen = std::max(o.position - 1, 0);
  const int first = std::clamp(chosen - rows / 2, 0, std::max(0, count - rows));
  char line[128];
  std::snprintf(line, sizeof line, "  orbital       Eh        eV   occ    iso %g\n",
                o.position == 0 ? o.densityIso : o.orbitalIso);
  std::string text = line;
  text += o.position < 0 ? "> none\n" : "  none\n";
  text += o.position == 0 ? "> density\n" : "  density\n";
  for (int k = first; k < count && k < first + rows; ++k) {
    const orb::OrbitalInfo& info = o.list[static_cast<size_t>(k)];
    std::snprintf(line, sizeof line, "%s%4d %s %9.4f %9.3f %5.2f %s\n", k + 1 == o.position ? "> " : "  ", info.number,
                  info.spin == orb::Spin::Alpha ? "a" : "b", info.energy, info.energyEv, info.occupation,
                  info.homo   ? "HOMO"
                  : info.lumo ? "LUMO"
                              : "");
    text += line;
  }
  text.pop_back();
  o.text->setText(text);
}

std::string MolApplet::showOrbital(const std::string& name, const std::string& spin)
{
  if (!haveWavefunction())
    return "'" + mFile + "': " + mOrbitals->problem;
  orb::OrbitalChoice choice;
  std::string error;
  if (!orb::ParseOrbitalChoice(name, choice, error))
    return error;
  if (!spin.empty())
    choice.spin = spin == "beta" ? orb::Spin::Beta : orb::Spin::Alpha;
  if (choice.kind == orb::OrbitalChoice::Kind::Density) {
    chooseOrbital(0);
    return mOrbitals->position == 0 ? std::string() : "'" + mFile + "': the density could not be computed";
  }
  const int index = orb::ResolveOrbital(mOrbitals->wavefunction, choice, error);
  if (index < 0)
    return "'" + mFile + "': " + error;
  // The list holds alpha, then beta: find the one resolved.
  const orb::Spin wanted =
      mOrbitals->wavefunction.restricted() ? orb::Spin::Alpha : choice.spin.value_or(orb::Spin::Alpha);
  const auto& orbitals = mOrbitals->wavefunction.orbitals(wanted);
  for (size_t k = 0; k < mOrbitals->list.size(); ++k) {
    const orb::OrbitalInfo& info = mOrbitals->list[k];
    if (info.spin == wanted && info.number == index + 1 && index < static_cast<int>(orbitals.size())) {
      chooseOrbital(static_cast<int>(k) + 1);
      return mOrbitals->position > 0 ? std::string() : "'" + mFile + "': the orbital could not be computed";
    }
  }
  return "'" + mFile + "': orbital " + name + " is not in the list";
}
