#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/linereader.h"
#include "core/formats/readers.h"

namespace {

// Marker texts. The blank runs are significant (the programs print their
// table headers with fixed spacing), so they are spelt out by length.
std::string blanks(size_t n) { return std::string(n, ' '); }

struct Markers {
  const std::string kalderStart1 = "Started on";
  const std::string kalderStart2 = "KALDER started at";
  const std::string kalderAuthor = "Quorvane";
  const std::string kalderPid = "PID=";
  const std::string gaussCenter1 = "Center" + blanks(5) + "Atomic" + blanks(5) + "Atomic" + blanks(14) + "Coordinates" +
                                   blanks(1) + "(Angstroms)";
  const std::string gaussCenter2 = "Center" + blanks(5) + "Atomic" + blanks(6) + "Atomic" + blanks(13) + "Coordinates" +
                                   blanks(1) + "(Angstroms)";
  const std::string gaussNumber1 =
      "Number" + blanks(5) + "Number" + blanks(6) + "Type" + blanks(14) + "X" + blanks(11) + "Y" + blanks(11) + "Z";
  const std::string gaussNumber2 =
      "Number" + blanks(5) + "Number" + blanks(7) + "Type" + blanks(13) + "X" + blanks(11) + "Y" + blanks(11) + "Z";
  const std::string gamessAngs = "COORDINATES OF ALL ATOMS ARE (ANGS)";
  const std::string gamessBohr = blanks(1) + "ATOM" + blanks(6) + "ATOMIC" + blanks(22) + "COORDINATES" + blanks(1) + "(BOHR)";
  const std::string gamessCharge1 =
      blanks(2) + "ATOM" + blanks(3) + "CHARGE" + blanks(7) + "X" + blanks(14) + "Y" + blanks(14) + "Z";
  const std::string gamessCharge2 = blanks(11) + "CHARGE" + blanks(9) + "X" + blanks(19) + "Y" + blanks(19) + "Z";
  const std::string priroda = "program" + blanks(2) + "Priroda";
  const std::string cfour = "* CFOUR Coupled-Cluster techniques for Computational Chemistry *";
};

const Markers& markers()
{
  static const Markers m;
  return m;
}

inline bool contains(std::string_view line, const std::string& marker) { return line.find(marker) != std::string_view::npos; }

// True when the atom line starts with a symbol that names an element.
bool startsWithElement(std::string_view line)
{
  FieldReader fields(line);
  std::string symbol;
  fields >> symbol; // the three coordinates after it do not matter here
  return vl::atomType(NormalizeSymbol(std::move(symbol))) != vl::AT_Unknown;
}

int checkXyz(LineReader& in)
{
  std::string_view line;
  if (!in.next(line))
    return FT_Unknown;
  int count = 0;
  if (!ParseCountLine(line, count))
    return startsWithElement(line) ? FT_XyzNoHeader : FT_Unknown;
  if (count <= 0)
    return FT_Unknown;
  if (!in.skip(1) || !in.next(line))
    return FT_Unknown;
  return startsWithElement(line) ? FT_Xyz : FT_Unknown;
}

int scanContent(LineReader& in)
{
  const Markers& m = markers();
  int mkrc1 = 0, mkrc2 = 0, mkrc3 = 0, garc1 = 0, garc2 = 0, gmrc1 = 0, gmrc2 = 0, prrc1 = 0, cflrc1 = 0, wfnrc = 0;
  int i = 0;
  auto signature = [&]() -> int {
    if (mkrc1 && mkrc2 && mkrc3)
      return FT_Kalder;
    if (garc1 && garc2)
      return FT_Gaussian;
    if (gmrc1 && gmrc2)
      return FT_Gamess;
    if (prrc1)
      return FT_Priroda;
    if (cflrc1)
      return FT_Cfour;
    if (wfnrc)
      return FT_Wfn;
    return FT_Unknown;
  };
  std::string_view line;
  while (in.next(line)) {
    ++i;
    if (contains(line, m.kalderStart1) || contains(line, m.kalderStart2))
      mkrc1 = 1;
    if (contains(line, m.kalderAuthor))
      mkrc2 = 1;
    if (contains(line, m.kalderPid))
      mkrc3 = 1;
    if (contains(line, m.gaussCenter1) || contains(line, m.gaussCenter2))
      garc1 = 1;
    if (contains(line, m.gaussNumber1) || contains(line, m.gaussNumber2))
      garc2 = 1;
    if (contains(line, m.gamessAngs) || contains(line, m.gamessBohr))
      gmrc1 = 1;
    if (contains(line, m.gamessCharge1) || contains(line, m.gamessCharge2))
      gmrc2 = 1;
    if (contains(line, m.priroda))
      prrc1 = 1;
    if (contains(line, m.cfour))
      cflrc1 = 1;
    if (i == 2 && line.find("MOL ORBITALS") != std::string_view::npos &&
        line.find("PRIMITIVES") != std::string_view::npos && line.find("NUCLEI") != std::string_view::npos)
      wfnrc = 1;
    if (signature() != FT_Unknown)
      break;
  }
  return signature();
}

} // namespace

int CheckFileType(std::string file)
{
  // Nothing below throws on bad input (the count conversion reports failure
  // by its result); the guard keeps allocation failures from escaping.
  try {
    LineReader in(file);
    if (ends_with(file, ".mol") || ends_with(file, ".sdf") || ends_with(file, ".mdl") || ends_with(file, ".sd")) {
      std::string_view line;
      for (int n = 0; n < 4; ++n)
        if (!in.next(line))
          return FT_Unknown;
      if (line.find("V2000") != std::string_view::npos)
        return FT_MdlMol;
      // Not V2000: scanned by content from line 5 on.
    }
    if (ends_with(file, ".xyz") || ends_with(file, ".trj"))
      return checkXyz(in);
    return scanContent(in);
  } catch (...) {
    return FT_Unknown;
  }
}

bool ends_with(const std::string& value, const std::string& ending)
{
  if (ending.size() > value.size())
    return false;
  return std::equal(ending.rbegin(), ending.rend(), value.rbegin());
}

std::string trim(const std::string& str)
{
  const size_t first = str.find_first_not_of(' ');
  if (first == std::string::npos)
    return str; // empty or nothing but blanks: unchanged
  const size_t last = str.find_last_not_of(' ');
  return str.substr(first, last - first + 1);
}

size_t strlcpy(char* dst, const char* src, size_t siz)
{
  const size_t len = std::strlen(src);
  if (siz != 0) {
    const size_t n = len < siz - 1 ? len : siz - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
  }
  return len;
}
