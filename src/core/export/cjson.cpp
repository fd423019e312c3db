// One Chemical JSON document (Avogadro 2 opens it): the last structure with its
// bonds, every structure's coordinates as a trajectory, and the energies.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/export/writers.h"
#include "core/formats/comment.h"
#include "core/formats/textout.h"

namespace {

// The shortest text that reads back as the same value, so coordinates keep the
// figures the file gave. JSON has no NaN or infinity: those become null.
template <typename T> void number(textout::Output& out, T v, bool real = false)
{
  if (!std::isfinite(v)) {
    out.text("null");
    return;
  }
  char buf[64];
  const char* end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  const std::string_view text(buf, static_cast<size_t>(end - buf));
  out.text(text);
  // Avogadro stores "-76" as an integer property; an energy must stay a real number.
  if (real && text.find_first_of(".e") == std::string_view::npos)
    out.text(".0");
}

// Length of the well-formed UTF-8 sequence at s[i], 0 when the bytes are not one.
size_t utf8Length(std::string_view s, size_t i)
{
  const auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  const unsigned c = at(i);
  unsigned lo = 0x80, hi = 0xBF; // the second byte's range excludes overlong forms, surrogates and > U+10FFFF
  size_t n = 0;
  if (c < 0x80)
    return 1;
  if (c >= 0xC2 && c <= 0xDF)
    n = 2;
  else if (c >= 0xE0 && c <= 0xEF)
    n = 3, lo = c == 0xE0 ? 0xA0 : lo, hi = c == 0xED ? 0x9F : hi;
  else if (c >= 0xF0 && c <= 0xF4)
    n = 4, lo = c == 0xF0 ? 0x90 : lo, hi = c == 0xF4 ? 0x8F : hi;
  if (n == 0 || at(i + 1) < lo || at(i + 1) > hi)
    return 0;
  for (size_t k = 2; k < n; ++k)
    if ((at(i + k) & 0xC0) != 0x80)
      return 0;
  return n;
}

// A JSON string. Titles come from arbitrary files: control characters are
// escaped and bytes that are not UTF-8 become U+FFFD, so the document stays valid.
void quoted(textout::Output& out, std::string_view s)
{
  out.ch('"');
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = utf8Length(s, i);
    if (n == 0) {
      out.text("\\ufffd");
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out.ch('\\').ch(static_cast<char>(c));
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out.text(buf);
    } else {
      out.text(s.substr(i, n));
    }
    i += n;
  }
  out.ch('"');
}

void coordinates(textout::Output& out, const vl::Molecule& m)
{
  out.ch('[');
  for (int i = 0; i < m.atoms(); ++i)
    for (int axis = 0; axis < 3; ++axis) {
      if (i || axis)
        out.text(", ");
      number(out, m.atom(i)->coordinates()[axis]);
    }
  out.ch(']');
}

// The last structure's title, else the file's name without its folders.
std::string nameOf(const vl::Molecule& last, const std::string& source)
{
  std::string name = TitleText(last.calculation().title);
  return name.empty() ? source.substr(source.find_last_of('/') + 1) : name;
}

std::optional<double> energyOf(const vl::Molecule& m)
{
  const std::optional<double>& e = m.calculation().totalEnergy;
  return e && std::isfinite(*e) ? e : std::nullopt;
}

} // namespace

void WriteCjson(std::FILE* file, const StructureList& structures, const std::string& source)
{
  if (structures.empty())
    return;
  textout::Output out(file);
  const vl::Molecule& last = *structures.back();

  out.text("{\n  \"chemicalJson\": 1,\n  \"name\": ");
  quoted(out, nameOf(last, source));
  // Avogadro refuses negative atomic numbers; 0 is its dummy atom.
  out.text(",\n  \"atoms\": {\n    \"elements\": {\"number\": [");
  for (int i = 0; i < last.atoms(); ++i) {
    const int z = vl::atomInfo(last.atom(i)->atomType()).atomicNumber();
    out.text(i ? ", " : "").integer(z < 0 ? 0 : z);
  }
  out.text("]},\n    \"coords\": {\n      \"3d\": ");
  coordinates(out, last);
  out.text(",\n      \"3dSets\": [");
  for (size_t k = 0; k < structures.size(); ++k) {
    out.text(k ? ",\n        " : "\n        ");
    coordinates(out, *structures[k]);
  }
  out.text("\n      ]\n    }\n  },\n");

  std::unordered_map<const vl::Atom*, int> index;
  for (int i = 0; i < last.atoms(); ++i)
    index.emplace(last.atom(i), i);
  std::string order;
  out.text("  \"bonds\": {\"connections\": {\"index\": [");
  for (const auto& bond : last.bondList()) {
    const auto a = index.find(bond->atom1()), b = index.find(bond->atom2());
    if (a == index.end() || b == index.end())
      continue;
    out.text(order.empty() ? "" : ", ").integer(a->second).text(", ").integer(b->second);
    order += order.empty() ? "1" : ", 1"; // the readers find single bonds only
  }
  out.text("]}, \"order\": [").text(order).text("]}");

  // Hartree, as Avogadro shows totalEnergy and plots the energies by default.
  // The energies line up with 3dSets, so they are written only when every
  // structure has one.
  bool all = true;
  for (const auto& s : structures)
    all = all && energyOf(*s);
  if (const std::optional<double> total = energyOf(last)) {
    out.text(",\n  \"properties\": {\"totalEnergy\": ");
    number(out, *total, true);
    for (size_t k = 0; all && k < structures.size(); ++k) {
      out.text(k ? ", " : ", \"energies\": [");
      number(out, *energyOf(*structures[k]), true);
    }
    out.text(all ? "]}" : "}");
  }
  out.text("\n}\n");
}
