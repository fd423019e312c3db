#include "core/formats/comment.h"

#include <string>
#include <vector>

#include "core/formats/fieldreader.h"
#include "core/formats/qcout.h"

namespace {

bool IsEnergyKey(std::string_view key)
{
  std::string lower(key);
  for (char& c : lower)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "e" || lower == "energy" || lower == "total_energy";
}

std::string_view Unquoted(std::string_view value)
{
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

} // namespace

std::optional<double> CommentEnergy(std::string_view comment)
{
  std::vector<std::string_view> words;
  for (int n = 0; n < 64; ++n) { // a comment line that long holds no energy worth finding
    const std::string_view word = qcout::Word(comment, n);
    if (word.empty())
      break;
    words.push_back(word);
  }
  if (words.size() == 1)
    if (const auto lone = qcout::ToNumber(words[0]))
      return lone;
  for (size_t i = 0; i < words.size(); ++i) {
    std::string_view word = words[i];
    const size_t equals = word.find('=');
    if (equals != std::string_view::npos) { // key=value
      if (IsEnergyKey(word.substr(0, equals)))
        return qcout::ToNumber(Unquoted(word.substr(equals + 1)));
      continue;
    }
    if (word.back() == ':')
      word.remove_suffix(1);
    if (IsEnergyKey(word) && i + 1 < words.size()) // "E -382.05", "energy: -5.07"
      if (const auto value = qcout::ToNumber(words[i + 1]))
        return value;
  }
  return std::nullopt;
}

std::string TitleText(std::string_view line)
{
  return std::string(qcout::Trimmed(line, IsSpace));
}
