#include <string_view>

// XYZ files and TRJ trajectories: frames of a count line, a comment line and
// one "symbol x y z" line per atom; also a bare list of atom lines.
#include "core/formats/atomname.h"
#include "core/formats/comment.h"
#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/textout.h"
#include "core/model/say.h"

namespace {

// Adds the atom of one atom line; false (and a log line) when the line does
// not start with an element symbol.
bool readAtomLine(std::string_view line, int& count, vl::Molecule& molecule, std::string& symbol, vl::Log& log)
{
  FieldReader fields(line);
  symbol.clear(); // an empty line must not reuse the previous symbol
  fields >> symbol;
  symbol = NormalizeSymbol(std::move(symbol));
  const vl::EAtomType type = vl::atomType(symbol);
  if (type == vl::AT_Unknown) {
    log.write(vl::Say("Line '%s' ignored!\n") << std::string(line));
    return false;
  }
  // Missing or non-numeric coordinates read as 0; the symbol alone decides.
  float x = 0, y = 0, z = 0;
  fields >> x >> y >> z;
  ++count;
  AddAtom(molecule, x, y, z, AtomName(symbol, count), type);
  return true;
}

// True when the atom line starts with a symbol that names an element.
bool startsWithElement(std::string_view line)
{
  FieldReader fields(line);
  std::string symbol;
  fields >> symbol; // the three coordinates after it do not matter here
  return vl::atomType(NormalizeSymbol(std::move(symbol))) != vl::AT_Unknown;
}

// A count line, a comment and an atom line (code 9), or an atom line first (6).
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

int ReadXYZFile(const std::string& file, int ftype, StructureList& structures, vl::Log& log)
{
  const bool header = ftype == FT_Xyz;
  LineReader in(file);
  int found_and_read = 0;
  std::string symbol;
  std::string_view line;
  size_t lastAtoms = 0;

  while (in.next(line) && !IsBlank(line)) {
    int i = 0;
    int nAtoms = 0;
    std::string comment;
    if (header) {
      if (!ParseCountLine(line, nAtoms)) {
        log.write(vl::Say("Line '%s' is invalid\n") << std::string(line));
        log.write("Number of atoms is expected here!\n");
        break;
      }
      if (nAtoms <= 0)
        return -4;
      if (!in.next(line))
        return -3;
      comment = TitleText(line);
    }

    // nAtoms comes from the file, so nothing is reserved by it (a huge count in
    // a short file must cost nothing); trajectory frames are sized like the
    // frame read before them.
    auto molecule = vl::make_ref<vl::Molecule>();
    molecule->reserveAtoms(lastAtoms);
    if (!header)
      readAtomLine(line, i, *molecule, symbol, log); // no header: the first line is an atom line
    while (!(header && i == nAtoms) && in.next(line))
      readAtomLine(line, i, *molecule, symbol, log);

    if (header && i != nAtoms)
      return -2; // the file ended inside the frame; the partial frame is dropped
    lastAtoms = static_cast<size_t>(molecule->atoms());
    molecule->calculation().totalEnergy = CommentEnergy(comment);
    molecule->calculation().title = std::move(comment);
    if (FinishStructure(molecule, structures, log))
      ++found_and_read;
  }
  return found_and_read != 0 ? 0 : -1;
}

void WriteXyz(std::FILE* file, const StructureList& structures, const std::string& source)
{
  textout::Output out(file);
  const size_t n = structures.size();
  for (size_t k = 0; k < n; ++k) {
    const vl::Molecule& m = *structures[k];
    out.integer(m.atoms()).line();
    std::string title = textout::frameTitle(source, k + 1, n);
    if (const auto& energy = m.calculation().totalEnergy) {
      char text[48];
      std::snprintf(text, sizeof text, " energy=%.10f", *energy);
      title += text;
    }
    out.line(title);
    for (int i = 0; i < m.atoms(); ++i) {
      const vl::Atom& a = *m.atom(i);
      const vl::fvec3& c = a.coordinates();
      out.text(textout::symbolOf(a)).ch(' ').fixed(c.x, 6).ch(' ').fixed(c.y, 6).ch(' ').fixed(c.z, 6).ch(' ');
      out.line(a.atomName());
    }
  }
}

} // namespace

extern const FileFormat kXyzFormat;
const FileFormat kXyzFormat = NamedFormat(FT_Xyz, "XYZ/TRJ", {".xyz", ".trj"}, checkXyz, ReadXYZFile, "xyz", WriteXyz);
