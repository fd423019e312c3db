#include <algorithm>
#include <string_view>

#include "core/formats/format.h"
#include "core/formats/linereader.h"
#include "core/formats/qcout.h"

namespace {

bool endsWithAny(const std::string& file, const std::vector<std::string_view>& endings)
{
  return std::any_of(endings.begin(), endings.end(),
                     [&](std::string_view e) { return ends_with(file, std::string(e)); });
}

bool groupIn(const MarkerGroup& group, std::string_view line, int lineNumber)
{
  if (group.onLine != 0 && group.onLine != lineNumber)
    return false;
  auto has = [&](std::string_view text) { return qcout::Contains(line, text); };
  return group.allOnOneLine ? std::all_of(group.texts.begin(), group.texts.end(), has)
                            : std::any_of(group.texts.begin(), group.texts.end(), has);
}

// One pass over the lines: each format's groups are marked as they are
// found, and the scan stops at the first line on which a signature is complete.
Detection scanContent(LineReader& in)
{
  const auto& formats = FileFormats();
  std::vector<std::vector<char>> found(formats.size());
  for (size_t f = 0; f < formats.size(); ++f)
    found[f].assign(formats[f]->signature.size(), 0);
  auto complete = [&](size_t f) {
    return !found[f].empty() && std::all_of(found[f].begin(), found[f].end(), [](char c) { return c != 0; });
  };
  auto firstComplete = [&]() -> Detection {
    for (size_t f = 0; f < formats.size(); ++f)
      if (complete(f))
        return {formats[f]->code, formats[f]};
    return {};
  };

  std::string_view line;
  int lineNumber = 0;
  while (in.next(line)) {
    ++lineNumber;
    bool any = false;
    for (size_t f = 0; f < formats.size(); ++f) {
      const auto& groups = formats[f]->signature;
      for (size_t g = 0; g < groups.size(); ++g)
        if (!found[f][g] && groupIn(groups[g], line, lineNumber))
          found[f][g] = 1;
      any = any || complete(f);
    }
    if (any)
      break;
  }
  return firstComplete();
}

} // namespace

Detection DetectFormat(const std::string& file)
{
  // Nothing below throws on bad input; the guard keeps allocation failures
  // from escaping.
  try {
    LineReader in(file);
    for (const FileFormat* format : FileFormats()) {
      if (!format->nameCheck || !endsWithAny(file, format->endings))
        continue;
      const int code = format->nameCheck(in);
      if (code == FileFormat::kScanContent)
        continue;
      return code == FT_Unknown ? Detection{} : Detection{code, format};
    }
    return scanContent(in);
  } catch (...) {
    return {};
  }
}

int CheckFileType(std::string file)
{
  return DetectFormat(file).code;
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
