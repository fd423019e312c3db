#pragma once
// Text as the toolkit hands it over (dropped file paths, file names).
#include <string>

namespace vl {

class String {
public:
  String() = default;
  String(std::string utf8) : mText(std::move(utf8)) {}
  const std::string& toStdString() const { return mText; }
  bool empty() const { return mText.empty(); }

private:
  std::string mText;
};

} // namespace vl
