// Molden files: sections under "[Name]" lines. The structures are the frames
// of [GEOMETRIES] XYZ in order, each with its [GEOCONV] energy and step values,
// then the [Atoms] geometry (the one the orbitals belong to) unless it is one
// of those frames, and [FR-COORD] (the geometry of the frequencies) only when
// neither gives a structure. The normal modes ([FREQ], [FR-NORM-COORD], [INT])
// go to the [FR-COORD] structure, or to the last structure when its atoms are
// those of [FR-COORD].
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

enum class Section { Other, Title, Atoms, FrCoord, Geometries, GeoConv, Freq, FrNormCoord, Int };

bool AddSymbolAtom(vl::Molecule& molecule, std::string_view line, bool bohr)
{
  const std::string symbol = NormalizeSymbol(std::string(qcout::Word(line, 0)));
  return qcout::AddAtomFromWords(molecule, vl::atomType(symbol), symbol, qcout::Word(line, 1), qcout::Word(line, 2),
                                 qcout::Word(line, 3), bohr);
}

// An [Atoms] row: label, number, atomic number, x, y, z.
bool AddNumberedAtom(vl::Molecule& molecule, std::string_view line, bool bohr)
{
  int z = 0;
  const auto charge = qcout::ToNumber(qcout::Word(line, 2));
  if (!charge || !ParseCountLine(qcout::Word(line, 2), z))
    return false;
  char symbol[3] = {0, 0, 0};
  BaseSetAtName(z, &symbol[0], &symbol[1]);
  if (symbol[1] == ' ')
    symbol[1] = '\0';
  return qcout::AddAtomFromWords(molecule, qcout::TypeFromAtomicNumber(z), symbol, qcout::Word(line, 3),
                                 qcout::Word(line, 4), qcout::Word(line, 5), bohr);
}

// The values of [FREQ], [FR-NORM-COORD] and [INT] as read; each list stops at
// its first malformed line.
struct ModeSections {
  std::vector<double> frequencies, intensities;
  std::vector<std::vector<vl::fvec3>> vibrations; // one vector per atom, under "vibration N"
  bool badFrequency = false, badVibration = false, badIntensity = false;

  // The modes for a structure of `atoms` atoms: those whose vibration has a
  // vector for each, up to the first that does not.
  std::vector<vl::NormalMode> modes(int atoms) const
  {
    std::vector<vl::NormalMode> out;
    for (size_t m = 0; m < frequencies.size() && m < vibrations.size(); ++m) {
      if (vibrations[m].size() != static_cast<size_t>(atoms))
        break;
      vl::NormalMode& mode = out.emplace_back();
      mode.frequency = frequencies[m];
      if (intensities.size() == frequencies.size())
        mode.irIntensity = intensities[m];
      mode.displacement = vibrations[m];
    }
    return out;
  }
};

void ReadModeLine(Section section, std::string_view line, ModeSections& sections)
{
  const std::string_view first = qcout::Word(line, 0);
  if (first.empty())
    return;
  if (section == Section::Freq || section == Section::Int) {
    bool& bad = section == Section::Freq ? sections.badFrequency : sections.badIntensity;
    const auto value = qcout::NumberInPlace(first);
    if (!value)
      bad = true;
    else if (!bad)
      (section == Section::Freq ? sections.frequencies : sections.intensities).push_back(*value);
    return;
  }
  if (sections.badVibration)
    return;
  if (first.size() == 9 && qcout::Upper(first) == "VIBRATION") {
    sections.vibrations.emplace_back();
    return;
  }
  // Each word found from the end of the one before.
  auto after = [line](std::string_view word) {
    return word.empty() ? word
                        : qcout::Word(line.substr(static_cast<size_t>(word.data() - line.data()) + word.size()), 0);
  };
  const std::string_view yWord = after(first), zWord = after(yWord);
  const auto x = qcout::NumberInPlace(first), y = qcout::NumberInPlace(yWord), z = qcout::NumberInPlace(zWord);
  if (!x || !y || !z || sections.vibrations.empty()) {
    // The vibration being read is not whole; those before it are.
    sections.badVibration = true;
    if (!sections.vibrations.empty())
      sections.vibrations.pop_back();
    return;
  }
  sections.vibrations.back().emplace_back(static_cast<float>(*x), static_cast<float>(*y), static_cast<float>(*z));
}

int ReadMoldenFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  std::string title;
  std::vector<vl::ref<vl::Molecule>> frames;
  vl::ref<vl::Molecule> atoms, frequencyAtoms; // the first whole [Atoms] and [FR-COORD]; a file has one of each
  std::map<std::string, std::vector<std::optional<double>>> geoconv; // by keyword, one value per frame
  ModeSections modeSections;

  Section section = Section::Other;
  bool bohr = false;
  vl::ref<vl::Molecule> table; // the rows of [Atoms] or [FR-COORD] read so far; null once malformed
  std::vector<std::optional<double>>* values = nullptr; // the [GEOCONV] keyword being read
  int frameRows = -1;        // rows still to come in the current frame; -1 before its count line
  bool frameComment = false; // the comment line comes next

  // [Atoms] and [FR-COORD] hold no count: only a section closed by the next
  // one is known to be whole.
  auto closeSection = [&](bool byHeader) {
    if (section == Section::Geometries && (frameRows > 0 || frameComment))
      frames.pop_back(); // a frame cut short
    vl::ref<vl::Molecule>& whole = section == Section::Atoms ? atoms : frequencyAtoms;
    if (table && byHeader && table->atoms() > 0 && !whole)
      whole = table;
    table = nullptr;
    values = nullptr;
    frameRows = -1;
    frameComment = false;
  };

  std::string_view line;
  while (in.next(line)) {
    // The mode sections are the long ones: their lines are read in place.
    const size_t first = line.find_first_not_of(" \t\r");
    const bool modeSection = section == Section::Freq || section == Section::FrNormCoord || section == Section::Int;
    if (modeSection && (first == std::string_view::npos || line[first] != '[')) {
      ReadModeLine(section, line, modeSections);
      continue;
    }
    const std::string_view trimmed = qcout::Trimmed(line);
    if (!trimmed.empty() && trimmed[0] == '[') {
      closeSection(true);
      const size_t close = trimmed.find(']');
      const std::string name =
          qcout::Upper(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      const std::string argument = close == std::string::npos ? "" : qcout::Upper(trimmed.substr(close + 1));
      section = Section::Other;
      if (name == "TITLE") {
        section = Section::Title;
      } else if (name == "ATOMS") {
        section = Section::Atoms;
        bohr = argument.find("AU") != std::string::npos;
        qcout::Announce(log, bohr ? "Found [Atoms] (Bohr)!\n" : "Found [Atoms] (Angs)!\n");
        table = vl::make_ref<vl::Molecule>();
      } else if (name == "FR-COORD") {
        section = Section::FrCoord;
        bohr = true;
        qcout::Announce(log, "Found [FR-COORD] (Bohr)!\n");
        table = vl::make_ref<vl::Molecule>();
      } else if (name == "GEOMETRIES" && argument.find("XYZ") != std::string::npos) {
        section = Section::Geometries;
        qcout::Announce(log, "Found [GEOMETRIES] (Angs)!\n");
      } else if (name == "GEOCONV") {
        section = Section::GeoConv;
      } else if (name == "FREQ") {
        section = Section::Freq;
      } else if (name == "FR-NORM-COORD") {
        section = Section::FrNormCoord;
      } else if (name == "INT") {
        section = Section::Int;
      }
      continue;
    }
    switch (section) {
    case Section::Title:
      if (title.empty())
        title = trimmed;
      break;
    case Section::Atoms:
    case Section::FrCoord:
      if (table && !trimmed.empty() &&
          !(section == Section::Atoms ? AddNumberedAtom(*table, line, bohr) : AddSymbolAtom(*table, line, true)))
        table = nullptr;
      break;
    case Section::Geometries:
      if (frameComment) {
        frames.back()->calculation().title = trimmed;
        frameComment = false;
      } else if (frameRows > 0) {
        if (!AddSymbolAtom(*frames.back(), line, false)) {
          frames.pop_back(); // a malformed row: the frame is dropped, and what follows is no frame
          section = Section::Other;
        } else if (--frameRows == 0) {
          frameRows = -1;
        }
      } else if (!trimmed.empty()) {
        int count = 0;
        if (trimmed.find_first_not_of("0123456789") != std::string::npos || !ParseCountLine(trimmed, count) ||
            count <= 0) {
          section = Section::Other;
          break;
        }
        frames.push_back(vl::make_ref<vl::Molecule>());
        frameRows = count;
        frameComment = true;
      }
      break;
    case Section::GeoConv:
      if (trimmed.empty())
        break;
      if (std::isalpha(static_cast<unsigned char>(trimmed[0])))
        values = &geoconv[std::string(qcout::Word(trimmed, 0))];
      else if (values)
        values->push_back(qcout::ToNumber(qcout::Word(trimmed, 0)));
      break;
    case Section::Freq:
    case Section::FrNormCoord:
    case Section::Int:
    case Section::Other:
      break;
    }
  }
  closeSection(false);

  int found = 0;
  vl::Molecule* last = nullptr; // the last structure appended
  auto finish = [&](const vl::ref<vl::Molecule>& molecule) {
    if (!FinishStructure(molecule, structures, log))
      return 0;
    last = molecule.get();
    return 1;
  };
  auto value = [&](const char* keyword, size_t k) -> std::optional<double> {
    const auto it = geoconv.find(keyword);
    return it != geoconv.end() && k < it->second.size() ? it->second[k] : std::nullopt;
  };
  for (size_t k = 0; k < frames.size(); ++k) {
    vl::Calculation& c = frames[k]->calculation();
    c.totalEnergy = value("energy", k);
    c.convergence.maxForce.value = value("max-force", k);
    c.convergence.rmsForce.value = value("rms-force", k);
    c.convergence.maxDisplacement.value = value("max-step", k);
    c.convergence.rmsDisplacement.value = value("rms-step", k);
    found += finish(frames[k]);
  }
  if (atoms && std::none_of(frames.begin(), frames.end(),
                            [&](const vl::ref<vl::Molecule>& m) { return qcout::SameGeometry(*m, *atoms, 1e-4f); })) {
    atoms->calculation().title = title;
    found += finish(atoms);
  }
  if (found == 0 && frequencyAtoms) {
    frequencyAtoms->calculation().title = title;
    found += finish(frequencyAtoms);
  }
  if (last && (!frequencyAtoms || qcout::SameElements(*last, *frequencyAtoms)))
    last->calculation().modes = modeSections.modes(last->atoms());
  return found > 0 ? 0 : -1;
}

} // namespace

extern const FileFormat kMoldenFormat;
const FileFormat kMoldenFormat = ContentFormat(FT_Molden, "Molden file",
                                               {
                                                   // The first line of every Molden file.
                                                   {{"[Molden Format]", "[MOLDEN FORMAT]"}, false, 1},
                                               },
                                               ReadMoldenFile);
