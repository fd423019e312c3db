#include "core/export/export.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>

#include "core/chemistry/vibration.h"
#include "core/export/writers.h"
#include "core/formats/inputfile.h"
#include "core/formats/loader.h"
#include "core/orbitals/cube.h"
#include "core/orbitals/readers.h"

namespace {

// Writers that belong to no file format: the calculation's results.
struct ResultWriter {
  const char* name;
  FileFormat::WriteFunction write;
};
const ResultWriter kResultWriters[] = {{"modes", WriteModes}, {"table", WriteTable}, {"cjson", WriteCjson}};

FileFormat::WriteFunction writerNamed(const std::string& name)
{
  for (const FileFormat* format : FileFormats())
    if (format->write && format->exportName && name == format->exportName)
      return format->write;
  for (const ResultWriter& writer : kResultWriters)
    if (name == writer.name)
      return writer.write;
  return nullptr;
}

void printError(const std::string& text)
{
  std::fputs(text.c_str(), stderr);
}

} // namespace

std::vector<std::string> ExportFormatNames()
{
  std::vector<std::string> names;
  for (const FileFormat* format : FileFormats())
    if (format->write && format->exportName)
      names.emplace_back(format->exportName);
  for (const ResultWriter& writer : kResultWriters)
    names.emplace_back(writer.name);
  names.emplace_back("cube");
  return names;
}

namespace {

// --export xyz --mode N: twenty frames of mode N (1-based) over one period,
// at the window's default amplitude. False, with the reason printed, when
// there is no such mode.
bool WriteModeFrames(std::FILE* out, const StructureList& structures, const std::string& source, int mode)
{
  const vl::Molecule* structure = StructureWithModes(structures);
  if (!structure) {
    printError(source + ": the file gives no normal modes\n");
    return false;
  }
  const auto& modes = structure->calculation().modes;
  if (mode < 1 || mode > static_cast<int>(modes.size())) {
    printError("Mode " + std::to_string(mode) + " does not exist: " + source + " gives modes 1 to " +
               std::to_string(modes.size()) + "\n");
    return false;
  }
  const vl::NormalMode& m = modes[static_cast<size_t>(mode - 1)];
  const std::vector<vl::fvec3> d = CentredDisplacement(*structure, m);
  const double amplitude = DefaultAmplitude(d);
  constexpr int kFrames = 20;
  StructureList frames;
  for (int k = 0; k < kFrames; ++k) {
    auto frame = vl::make_ref<vl::Molecule>();
    const std::vector<vl::fvec3> x = ModePositions(*structure, d, amplitude, 2.0 * M_PI * k / kFrames);
    for (int i = 0; i < structure->atoms(); ++i) {
      auto atom = vl::make_ref<vl::Atom>(*structure->atom(i));
      atom->setCoordinates(x[static_cast<size_t>(i)]);
      frame->addAtom(atom);
    }
    char title[96];
    std::snprintf(title, sizeof title, "mode %d, %.2f cm-1, frame %d of %d", mode, m.frequency, k + 1, kFrames);
    frame->calculation().title = title;
    frames.push_back(frame);
  }
  WriteXyzFrames(out, frames);
  return true;
}

// The wave function for --export cjson, read only from the formats whose
// basis the document can hold (WFN files give loose primitives); null, with
// the reason logged, when it cannot go in.
std::unique_ptr<orb::Wavefunction> CjsonWavefunction(const std::string& file, int code, const StructureList& structures,
                                                     vl::Log& log)
{
  bool (*read)(const std::string&, orb::Wavefunction&, std::string&) = nullptr;
  if (code == FT_Molden)
    read = orb::ReadMoldenWavefunction;
  else if (code == FT_Fchk)
    read = orb::ReadFchkWavefunction;
  else
    return nullptr;
  auto w = std::make_unique<orb::Wavefunction>();
  std::string problem;
  if (read(file, *w, problem))
    problem = CjsonOrbitalProblem(*w, structures);
  if (problem.empty())
    return w;
  log.write("The orbitals are left out of the Chemical JSON: " + problem + "\n");
  return nullptr;
}

} // namespace

int ExportStructures(const std::string& file, const std::string& format, int mode, const OrbitalExport& orbital)
{
  if (mode != 0 && format != "xyz") {
    printError("--mode goes with --export xyz\n");
    return 1;
  }
  if (format != "cube" && (!orbital.orbital.empty() || !orbital.spin.empty())) {
    printError("--orbital and --spin go with --export cube\n");
    return 1;
  }
  // Standard output carries the data; the log goes to standard error.
  vl::Log& log = vl::Log::standardError();
  const FileFormat::WriteFunction write = writerNamed(format);
  if (!write && format != "cube") {
    std::string names;
    for (const std::string& name : ExportFormatNames())
      names += (names.empty() ? "" : " or ") + name;
    printError("Unknown export format '" + format + "': use " + names + "\n");
    return 1;
  }
  const std::string problem = InputFileProblem(file);
  if (!problem.empty()) {
    printError(problem);
    return 1;
  }
  if (format == "cube")
    return orb::ExportOrbitalCube(file, orbital.orbital, orbital.spin, orbital.spacing);

  StructureList structures;
  bool failed = false;
  int code = FT_Unknown;
  try {
    code = LoadStructureFile(file, structures, log);
  } catch (const std::exception& e) {
    // What was read before the error is still written.
    printError(std::string("ERROR: ") + e.what() + "\n");
    failed = true;
  }
  if (structures.empty()) {
    log.write("No molecules could be found!\n");
    return 1;
  }
  LogStructureList(structures, log);

  if (mode != 0) {
    if (!WriteModeFrames(stdout, structures, file, mode))
      return 1;
  } else if (format == "cjson" && !failed) {
    const auto w = CjsonWavefunction(file, code, structures, log);
    WriteCjsonWithOrbitals(stdout, structures, file, w.get());
  } else {
    write(stdout, structures, file);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    printError("Cannot write to standard output\n");
    return 1;
  }
  return failed ? 1 : 0;
}
