// Gaussian output: orientation tables in angstrom, one structure each. The
// selector picks the family: 0 input and Z-matrix orientations, 1 standard.
#include <string>

#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"
#include "core/model/elements.h"

namespace {

constexpr std::string_view kInputMarker = "                          Input orientation:";      // 26 blanks
constexpr std::string_view kZMatrixMarker = "                         Z-Matrix orientation:";  // 25 blanks
constexpr std::string_view kStandardMarker = "                         Standard orientation:"; // 25 blanks
constexpr std::string_view kCommonPart = " orientation:";
constexpr std::string_view kRule = "---------------------------------------------------------------------"; // 69

// Besides Gaussian's own rule, a line of nothing but blanks and at least 20
// dashes ends a table: xtb's imitation (g98.out) draws its rule one dash short.
bool EndsTable(std::string_view line)
{
  if (qcout::Contains(line, kRule))
    return true;
  int dashes = 0;
  for (char c : line) {
    if (c == '-')
      ++dashes;
    else if (c != ' ' && c != '\r')
      return false;
  }
  return dashes >= 20;
}

bool IsMarker(std::string_view line, int type)
{
  if (!qcout::Contains(line, kCommonPart))
    return false;
  if (type == 0)
    return qcout::Contains(line, kInputMarker) || qcout::Contains(line, kZMatrixMarker);
  if (type == 1)
    return qcout::Contains(line, kStandardMarker);
  return false;
}

// The method inside "E(RB3LYP)" of an "SCF Done:" line.
std::string MethodInParentheses(std::string_view line)
{
  const size_t open = line.find("E(");
  const size_t close = open == std::string_view::npos ? open : line.find(')', open);
  return close == std::string_view::npos ? std::string() : std::string(line.substr(open + 2, close - open - 2));
}

// One row of the "Item Value Threshold Converged?" table.
void ReadCriterion(std::string_view line, vl::ConvergenceCriterion& criterion)
{
  criterion.value = qcout::ToNumber(qcout::Word(line, 2));
  criterion.threshold = qcout::ToNumber(qcout::Word(line, 3));
  const std::string_view verdict = qcout::Word(line, 4);
  criterion.converged.reset();
  if (verdict == "YES" || verdict == "NO")
    criterion.converged = verdict == "YES";
}

// Correlated energies, each printed after the lower levels: the last one
// read is the highest level of theory.
struct Correlated {
  std::string_view marker;
  const char* method;
};
constexpr Correlated kCorrelated[] = {
    {" EUMP2 =", "MP2"},           {" EUMP3=", "MP3"},
    {" UMP4(DQ)=", "MP4(DQ)"},     {" UMP4(SDQ)=", "MP4(SDQ)"},
    {" UMP4(SDTQ)=", "MP4(SDTQ)"}, {" MP5 =", "MP5"},
    {" E(CI)=", "CISD"},           {"amplitudes converged. E(Corr)=", "CC"},
    {" CCSD(T)=", "CCSD(T)"},      {" QCISD(T)=", "QCISD(T)"},
};

// What Gaussian printed about the geometry of the table before.
void ReadResult(std::string_view line, vl::Calculation& result, std::string_view coupledCluster)
{
  if (qcout::Contains(line, "SCF Done:")) {
    const auto energy = qcout::NumberAfter(line, ") =");
    result.scfEnergy = energy;
    result.totalEnergy = energy;
    result.method = MethodInParentheses(line);
    return;
  }
  for (const Correlated& c : kCorrelated)
    if (qcout::Contains(line, c.marker)) {
      // A malformed value keeps the level below it.
      if (const auto energy = qcout::NumberAfter(line, c.marker)) {
        result.totalEnergy = energy;
        result.method = std::string_view(c.method) == "CC" ? std::string(coupledCluster) : c.method;
      }
      return;
    }
  vl::Convergence& g = result.convergence;
  if (qcout::Contains(line, " Maximum Force "))
    ReadCriterion(line, g.maxForce);
  else if (qcout::Contains(line, " RMS     Force "))
    ReadCriterion(line, g.rmsForce);
  else if (qcout::Contains(line, " Maximum Displacement "))
    ReadCriterion(line, g.maxDisplacement);
  else if (qcout::Contains(line, " RMS     Displacement "))
    ReadCriterion(line, g.rmsDisplacement);
}

// The coupled-cluster method the route asks for (CCD, CCSD, QCISD...), as
// the converged amplitudes line does not name it.
std::string CoupledClusterMethod(std::string_view route)
{
  std::string upper(route);
  for (char& c : upper)
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  for (const char* method : {"QCISD", "CCSD", "CCD", "QCID"})
    if (qcout::Contains(upper, method))
      return method;
  return "CC";
}

// Reads the tables of one family: 0 input and Z-matrix orientations, 1 standard.
int ReadGaussianFile(const std::string& file, StructureList& structures, int type, vl::Log& log)
{
  std::string coupledCluster = "CC"; // named by the route, which comes before any table
  auto startsTable = [&](std::string_view line, LineReader& in) {
    if (line.size() > 2 && line[1] == '#')
      coupledCluster = CoupledClusterMethod(line);
    if (!IsMarker(line, type))
      return 0;
    qcout::Announce(log, type == 0 ? "Found Input or Z-Matrix orientation!\n" : "Found Standard orientation!\n");
    in.skip(4);
    return 1;
  };
  auto readRows = [](LineReader& in, int, vl::Molecule& molecule) {
    std::string_view line;
    while (in.next(line) && !EndsTable(line)) {
      int centre = 0, atomicNumber = -1, atomicType = 0;
      float x = 0, y = 0, z = 0;
      FieldReader(line) >> centre >> atomicNumber >> atomicType >> x >> y >> z;

      char symbol[3] = {0, 0, 0};
      BaseSetAtName(atomicNumber, &symbol[0], &symbol[1]);
      if (symbol[1] == ' ')
        symbol[1] = '\0';
      qcout::AddAtom(molecule, x, y, z, symbol + std::to_string(centre), vl::atomType(symbol));
    }
  };
  auto readResult = [&](std::string_view line, LineReader&, vl::Calculation& result) {
    ReadResult(line, result, coupledCluster);
  };
  return qcout::ReadTables(file, structures, log, startsTable, readRows, readResult);
}

// Input/Z-matrix orientations are preferred; standard ones are the fallback.
int readGaussian(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  if (ReadGaussianFile(file, structures, 0, log) == 0)
    return 0;
  return ReadGaussianFile(file, structures, 1, log);
}

} // namespace

extern const FileFormat kGaussianFormat;
const FileFormat kGaussianFormat =
    ContentFormat(FT_Gaussian, "Gaussian output",
                  {
                      // The two header lines of an orientation table, as two releases space them.
                      {{"Center     Atomic     Atomic              Coordinates (Angstroms)",
                        "Center     Atomic      Atomic             Coordinates (Angstroms)"}},
                      {{"Number     Number      Type              X           Y           Z",
                        "Number     Number       Type             X           Y           Z"}},
                  },
                  readGaussian);
