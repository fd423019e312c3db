// Gaussian formatted checkpoint (Gaussian, Q-Chem): named scalars and arrays,
// coordinates in bohr. The structures are the geometries of the "Opt point"
// arrays (optimisation and scan steps, each with its energy), then the current
// geometry unless it is the last of them; the current one carries the job's
// energies, method and RMS force. Single-point jobs give the current geometry alone.
// A frequency job's normal modes (Vib-E2, Vib-Modes) go to the current geometry.
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/formats/countline.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

constexpr std::string_view kOptPoint = "Opt point ";

// An array as read; incomplete when the file ends or a value is no number
// before its count is reached.
struct Array {
  std::vector<double> values;
  size_t count = 0;
  bool complete() const { return values.size() == count; }
};

struct OptPoint {
  Array geometries, results;
};

// A header: the name in columns 1-40, the type letter in column 44, then the
// value or "N=" and the count of an array.
bool IsHeader(std::string_view line)
{
  return line.size() >= 44 && line[0] != ' ' && line.substr(40, 3) == "   " &&
         std::string_view("IRCHL").find(line[43]) != std::string_view::npos && (line.size() == 44 || line[44] == ' ');
}

// Lines a non-numeric array takes: 5 strings of 12 characters, 9 of 8, or 72 logicals a line.
size_t TextLines(char type, size_t count)
{
  const size_t perLine = type == 'H' ? 9 : type == 'L' ? 72 : 5;
  return (count + perLine - 1) / perLine;
}

// The normal modes of "Vib-E2" (per mode: frequencies, then reduced masses,
// force constants, IR intensities, Raman activities... each a run of one value
// per mode) and "Vib-Modes" (3 values per atom for each mode). None when the
// sizes do not agree.
std::vector<vl::NormalMode> Modes(const Array& e2, const Array& vectors, size_t atoms)
{
  const size_t width = 3 * atoms;
  if (!e2.complete() || !vectors.complete() || width == 0 || vectors.values.size() % width != 0)
    return {};
  const size_t n = vectors.values.size() / width;
  if (n == 0 || e2.values.size() < n)
    return {};
  const std::vector<double>& v = e2.values;
  // A job without Raman leaves its run all zero.
  const bool raman =
      v.size() >= 5 * n && std::any_of(v.begin() + 4 * n, v.begin() + 5 * n, [](double a) { return a != 0; });
  std::vector<vl::NormalMode> modes(n);
  for (size_t m = 0; m < n; ++m) {
    modes[m].frequency = v[m];
    if (v.size() >= 4 * n)
      modes[m].irIntensity = v[3 * n + m];
    if (raman)
      modes[m].ramanActivity = v[4 * n + m];
    const double* d = vectors.values.data() + m * width;
    modes[m].displacement.resize(atoms);
    for (size_t a = 0; a < atoms; ++a)
      modes[m].displacement[a] =
          vl::fvec3(static_cast<float>(d[3 * a]), static_cast<float>(d[3 * a + 1]), static_cast<float>(d[3 * a + 2]));
  }
  return modes;
}

vl::ref<vl::Molecule> Geometry(const std::vector<int>& atomicNumbers, const double* bohr)
{
  auto molecule = vl::make_ref<vl::Molecule>();
  for (size_t i = 0; i < atomicNumbers.size(); ++i) {
    char symbol[3] = {0, 0, 0};
    BaseSetAtName(atomicNumbers[i], &symbol[0], &symbol[1]);
    if (symbol[1] == ' ')
      symbol[1] = '\0';
    auto angstrom = [&](int axis) { return qcout::BohrToAngstrom(static_cast<float>(bohr[3 * i + axis])); };
    qcout::AddAtom(*molecule, angstrom(0), angstrom(1), angstrom(2), symbol + std::to_string(i + 1),
                   qcout::TypeFromAtomicNumber(atomicNumbers[i]));
  }
  return molecule;
}

int ReadFchkFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  std::string_view line;
  std::string title, method, job;
  if (in.next(line))
    title = qcout::Trimmed(line);
  // The second line: job type, method and basis in columns of 10, 30 and 30.
  if (in.next(line)) {
    job = qcout::Trimmed(line.substr(0, 10));
    method = line.size() > 10 ? qcout::Trimmed(line.substr(10, 30)) : "";
    if (method == "R" || method == "U" || method == "RO") // a reference with no method named (Q-Chem)
      method.clear();
  }

  Array atomicNumbers, current, vibE2, vibModes;
  std::map<int, OptPoint> points; // by number: the order of the optimisation or scan
  std::optional<double> scfEnergy, totalEnergy, rmsForce;
  int resultsPerGeometry = 0;

  Array* target = nullptr; // the array whose values the next lines hold
  bool pending = in.next(line);
  while (pending) {
    if (target && !target->complete() && !IsHeader(line)) {
      // One pass over the words: a line may be as long as the file.
      // (Vib-Modes holds hundreds of thousands of values: each is read in place.)
      for (size_t pos = 0, end = 0;; pos = end) {
        while (pos < line.size() && qcout::IsBlankChar(line[pos]))
          ++pos;
        if (pos == line.size())
          break;
        for (end = pos; end < line.size() && !qcout::IsBlankChar(line[end]);)
          ++end;
        const std::optional<double> value = qcout::NumberInPlace(line.substr(pos, end - pos));
        if (!value || target->complete()) {
          target = nullptr; // malformed or overlong: the array stays incomplete
          break;
        }
        target->values.push_back(*value);
      }
      pending = in.next(line);
      continue;
    }
    target = nullptr;
    if (!IsHeader(line)) {
      pending = in.next(line);
      continue;
    }
    const std::string_view name = qcout::Trimmed(line.substr(0, 40));
    const char type = line[43];
    const std::string_view rest = line.substr(44);
    const size_t n = rest.find("N=");
    if (n == std::string_view::npos) {
      const auto value = qcout::ToNumber(qcout::Word(rest, 0));
      if (name == "SCF Energy")
        scfEnergy = value;
      else if (name == "Total Energy")
        totalEnergy = value;
      else if (name == "RMS Force")
        rmsForce = value;
      else if (name == "Optimization Num results per geometry" && value && *value > 0 && *value < 1000)
        resultsPerGeometry = static_cast<int>(*value);
      pending = in.next(line);
      continue;
    }
    int count = 0;
    if (!ParseCountLine(rest.substr(n + 2), count) || count < 0)
      count = 0;
    if (type == 'I' || type == 'R') {
      if (name == "Atomic numbers") {
        target = &atomicNumbers;
      } else if (name == "Vib-E2") {
        target = &vibE2;
      } else if (name == "Vib-Modes") {
        target = &vibModes;
      } else if (name == "Current cartesian coordinates") {
        qcout::Announce(log, "Found Current cartesian coordinates (Bohr)!\n");
        target = &current;
      } else if (name.rfind(kOptPoint, 0) == 0) {
        int number = 0;
        const std::string_view after = name.substr(kOptPoint.size());
        if (ParseCountLine(after, number)) {
          if (qcout::Contains(after, " Geometries")) {
            qcout::Announce(log, "Found Opt point geometries (Bohr)!\n");
            target = &points[number].geometries;
          } else if (qcout::Contains(after, " Results for each geome")) {
            target = &points[number].results;
          }
        }
      }
      if (target) {
        *target = Array();
        target->count = static_cast<size_t>(count);
      }
      pending = in.next(line);
    } else {
      // Text lines may start like a header: skip them by their count.
      pending = in.skip(static_cast<int>(std::min<size_t>(TextLines(type, static_cast<size_t>(count)), INT_MAX))) &&
                in.next(line);
    }
  }

  std::vector<int> numbers;
  for (double z : atomicNumbers.values)
    numbers.push_back(qcout::TruncateCharge(z));
  const size_t width = 3 * numbers.size(); // values in one geometry
  if (!atomicNumbers.complete() || numbers.empty())
    return -1;

  vl::Molecule* last = nullptr;
  const double* lastBohr = nullptr;
  auto append = [&](const double* bohr) {
    auto molecule = Geometry(numbers, bohr);
    molecule->calculation().title = title;
    if (!FinishStructure(molecule, structures, log))
      return false;
    last = molecule.get();
    lastBohr = bohr;
    return true;
  };
  // A single-geometry job read from an optimisation's checkpoint still carries
  // that optimisation's points, which do not belong to this job.
  if (job == "SP" || job == "Force")
    points.clear();
  int found = 0;
  for (const auto& [number, p] : points) {
    if (!p.geometries.complete() || p.geometries.values.size() % width != 0)
      continue;
    const size_t geometries = p.geometries.values.size() / width;
    const size_t stride = resultsPerGeometry > 0 ? static_cast<size_t>(resultsPerGeometry) : 2;
    const bool energies = p.results.complete() && p.results.values.size() == geometries * stride;
    for (size_t g = 0; g < geometries; ++g)
      if (append(p.geometries.values.data() + g * width)) {
        ++found;
        if (energies)
          last->calculation().totalEnergy = p.results.values[g * stride];
      }
  }
  if (current.complete() && current.values.size() == width) {
    bool same = lastBohr != nullptr;
    for (size_t k = 0; same && k < width; ++k)
      same = std::fabs(current.values[k] - lastBohr[k]) <= 1e-6;
    bool attached = same;
    if (!same && append(current.values.data())) {
      ++found;
      attached = true;
    }
    if (attached) {
      vl::Calculation& c = last->calculation();
      // The job's own energies, at full precision and at its level of theory.
      if (totalEnergy)
        c.totalEnergy = totalEnergy;
      c.scfEnergy = scfEnergy;
      c.method = method;
      c.convergence.rmsForce.value = rmsForce;
      c.modes = Modes(vibE2, vibModes, numbers.size());
    }
  }
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kFchkFormat;
const FileFormat kFchkFormat = ContentFormat(FT_Fchk, "Gaussian formatted checkpoint",
                                             {
                                                 // The third line of every formatted checkpoint.
                                                 {{"Number of atoms                            I"}, false, 3},
                                             },
                                             ReadFchkFile);
