// MDL Molfiles and SD files: the atom block of the first record; written as
// SD records (V2000, V3000 beyond 999 atoms or bonds).
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/formats/atomname.h"
#include "core/formats/comment.h"
#include "core/formats/countline.h"
#include "core/formats/fieldreader.h"
#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/textout.h"
#include "core/model/say.h"

namespace {

// V2000 on the counts line (line 4); otherwise the content scan goes on.
int checkMdl(LineReader& in)
{
  std::string_view line;
  for (int n = 0; n < 4; ++n)
    if (!in.next(line))
      return FT_Unknown;
  return line.find("V2000") != std::string_view::npos ? FT_MdlMol : FileFormat::kScanContent;
}

int ReadMDLMolFile(const std::string& file, int /*ftype*/, StructureList& structures, vl::Log& log)
{
  LineReader in(file);
  std::string_view line;
  // The name line is the title; program and comment lines are not used;
  // line 4 is the counts line.
  if (!in.next(line))
    return -1;
  const std::string title = TitleText(line);
  if (!in.skip(2) || !in.next(line))
    return -1;

  // The atom count is the first three columns of the counts line.
  int nAtoms = 0;
  if (!ParseCountLine(line.substr(0, 3), nAtoms) || nAtoms <= 0)
    return -1;

  auto molecule = vl::make_ref<vl::Molecule>();
  molecule->calculation().title = title;
  int i = 0;
  std::string symbol;
  while (in.next(line)) {
    if (IsBlank(line) || line.find("M  END") != std::string_view::npos)
      break;
    // Read by fields, not columns: x y z symbol, the rest of the line ignored.
    FieldReader fields(line);
    float x = 0, y = 0, z = 0;
    symbol.clear();
    fields >> x >> y >> z >> symbol;
    symbol = NormalizeSymbol(std::move(symbol));
    const vl::EAtomType type = vl::atomType(symbol);
    if (type == vl::AT_Unknown && symbol != "X") {
      // Bond lines past a too large count land here too (their fourth field is a number).
      log.write(vl::Say("Line '%s' ignored!\n") << std::string(line));
      continue;
    }
    ++i;
    AddAtom(*molecule, x, y, z, AtomName(symbol, i), type);
    if (i == nAtoms)
      break;
  }
  return FinishStructure(molecule, structures, log) ? 0 : -1;
}

// 1-based atom indices of every bond's two atoms; 0 for an atom that is not
// part of the structure (never produced by the readers).
std::vector<std::pair<int, int>> bondIndices(const vl::Molecule& m)
{
  std::unordered_map<const vl::Atom*, int> index;
  index.reserve(static_cast<size_t>(m.atoms()));
  for (int i = 0; i < m.atoms(); ++i)
    index.emplace(m.atom(i), i + 1);
  auto lookup = [&](const vl::Atom* a) {
    auto it = index.find(a);
    return it == index.end() ? 0 : it->second;
  };
  std::vector<std::pair<int, int>> result;
  result.reserve(static_cast<size_t>(m.bonds()));
  for (int b = 0; b < m.bonds(); ++b)
    result.emplace_back(lookup(m.bond(b)->atom1()), lookup(m.bond(b)->atom2()));
  return result;
}

void writeV2000(textout::Output& out, const vl::Molecule& m, const std::vector<std::pair<int, int>>& bonds)
{
  out.integer(m.atoms(), 3).integer(static_cast<long long>(bonds.size()), 3).line("  0  0  0  0  0  0  0  0999 V2000");
  for (int i = 0; i < m.atoms(); ++i) {
    const vl::Atom& a = *m.atom(i);
    const vl::fvec3& c = a.coordinates();
    out.fixed(c.x, 4, 10).fixed(c.y, 4, 10).fixed(c.z, 4, 10).ch(' ');
    std::string_view sym = textout::symbolOf(a);
    out.text(sym);
    for (size_t k = sym.size(); k < 3; ++k)
      out.ch(' ');
    out.line(" 0  0  0  0  0  0  0  0  0  0  0  0");
  }
  for (const auto& b : bonds)
    out.integer(b.first, 3).integer(b.second, 3).line("  1  0  0  0  0");
}

void writeV3000(textout::Output& out, const vl::Molecule& m, const std::vector<std::pair<int, int>>& bonds)
{
  out.line("  0  0  0     0  0            999 V3000");
  out.line("M  V30 BEGIN CTAB");
  out.text("M  V30 COUNTS ").integer(m.atoms()).ch(' ').integer(static_cast<long long>(bonds.size())).line(" 0 0 0");
  out.line("M  V30 BEGIN ATOM");
  for (int i = 0; i < m.atoms(); ++i) {
    const vl::Atom& a = *m.atom(i);
    const vl::fvec3& c = a.coordinates();
    out.text("M  V30 ").integer(i + 1).ch(' ').text(textout::symbolOf(a)).ch(' ');
    out.fixed(c.x, 4).ch(' ').fixed(c.y, 4).ch(' ').fixed(c.z, 4).line(" 0");
  }
  out.line("M  V30 END ATOM");
  if (!bonds.empty()) {
    out.line("M  V30 BEGIN BOND");
    for (size_t k = 0; k < bonds.size(); ++k)
      out.text("M  V30 ")
          .integer(static_cast<long long>(k + 1))
          .text(" 1 ")
          .integer(bonds[k].first)
          .ch(' ')
          .integer(bonds[k].second)
          .line();
    out.line("M  V30 END BOND");
  }
  out.line("M  V30 END CTAB");
}

void WriteSdf(std::FILE* file, const StructureList& structures, const std::string& source)
{
  textout::Output out(file);
  const size_t n = structures.size();
  for (size_t k = 0; k < n; ++k) {
    const vl::Molecule& m = *structures[k];
    const auto bonds = bondIndices(m);
    out.line(textout::frameTitle(source, k + 1, n));
    out.line("  ORBISK");
    out.line();
    // The V2000 counts line has three columns per count.
    if (m.atoms() > 999 || bonds.size() > 999)
      writeV3000(out, m, bonds);
    else
      writeV2000(out, m, bonds);
    out.line("M  END");
    out.line("$$$$");
  }
}

} // namespace

extern const FileFormat kMdlFormat;
const FileFormat kMdlFormat = NamedFormat(FT_MdlMol, "MDL Molfile/SD file", {".mol", ".sdf", ".mdl", ".sd"}, checkMdl,
                                          ReadMDLMolFile, "sdf", WriteSdf);
