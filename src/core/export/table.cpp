// One tab-separated line per structure: what the program computed for it.
#include "core/export/writers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "core/chemistry/vibration.h"
#include "core/model/calculation.h"

namespace {

constexpr double kKcalPerHartree = 627.509474;

// Round-trips a hartree value to well below 1e-8; empty when unknown.
std::string number(const std::optional<double>& v, const char* format = "%.10f")
{
  if (!v)
    return {};
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, *v);
  return buffer;
}

// Tabs and line ends in a title would break the columns.
std::string field(std::string text)
{
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return text;
}

} // namespace

std::optional<double> LowestEnergy(const StructureList& structures)
{
  std::optional<double> lowest;
  for (const auto& s : structures)
    if (const auto& e = s->calculation().totalEnergy; e && (!lowest || *e < *lowest))
      lowest = e;
  return lowest;
}

void WriteTable(std::FILE* out, const StructureList& structures, const std::string& /*source*/)
{
  std::fputs("structure\tatoms\tenergy_hartree\tscf_hartree\tdelta_kcal_mol\tmax_force\trms_force\t"
             "max_displacement\trms_displacement\tconverged\ttitle\n",
             out);
  const std::optional<double> lowest = LowestEnergy(structures);
  for (size_t k = 0; k < structures.size(); ++k) {
    const vl::Calculation& c = structures[k]->calculation();
    std::optional<double> delta;
    if (c.totalEnergy && lowest)
      delta = (*c.totalEnergy - *lowest) * kKcalPerHartree;
    const vl::Convergence& g = c.convergence;
    const std::optional<bool> converged = g.converged();
    std::string line = std::to_string(k + 1) + '\t' + std::to_string(structures[k]->atoms()) + '\t' +
                       number(c.totalEnergy) + '\t' + number(c.scfEnergy) + '\t' + number(delta, "%.4f");
    for (const vl::ConvergenceCriterion* v : {&g.maxForce, &g.rmsForce, &g.maxDisplacement, &g.rmsDisplacement})
      line += '\t' + number(v->value, "%.8g");
    line += '\t' + std::string(!converged ? "" : *converged ? "yes" : "no") + '\t' + field(c.title) + '\n';
    std::fputs(line.c_str(), out);
  }
}

void WriteModes(std::FILE* out, const StructureList& structures, const std::string& /*source*/)
{
  std::fputs("mode\tfrequency_cm-1\tir_km_mol\traman\n", out);
  const vl::Molecule* structure = StructureWithModes(structures);
  if (!structure)
    return;
  const auto& modes = structure->calculation().modes;
  for (size_t k = 0; k < modes.size(); ++k) {
    const std::string line = std::to_string(k + 1) + '\t' + number(modes[k].frequency, "%.4f") + '\t' +
                             number(modes[k].irIntensity, "%.4f") + '\t' + number(modes[k].ramanActivity, "%.4f") +
                             '\n';
    std::fputs(line.c_str(), out);
  }
}

void WriteXyzFrames(std::FILE* out, const StructureList& frames)
{
  for (const auto& frame : frames) {
    std::string text = std::to_string(frame->atoms()) + '\n' + field(frame->calculation().title) + '\n';
    for (int i = 0; i < frame->atoms(); ++i) {
      const vl::Atom& a = *frame->atom(i);
      const char* symbol = vl::atomInfo(a.atomType()).mSymbol;
      char line[128];
      std::snprintf(line, sizeof line, "%s %.6f %.6f %.6f\n", symbol && *symbol ? symbol : "X", a.coordinates().x,
                    a.coordinates().y, a.coordinates().z);
      text += line;
    }
    std::fputs(text.c_str(), out);
  }
}
