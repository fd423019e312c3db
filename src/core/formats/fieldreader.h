#pragma once
// Whitespace-separated field extraction with exactly the results of
// std::istringstream's operator>> (classic locale), without building a stream:
// leading white space is skipped, a number takes the longest prefix that
// extraction would take, a failed extraction stores 0 (out of range: the
// type's limit) and every later extraction fails without storing anything.
#include <string>
#include <string_view>

class FieldReader {
public:
  explicit FieldReader(std::string_view text) : mText(text) {}

  bool read(std::string& word);
  bool read(int& value);
  bool read(long long& value);
  bool read(float& value);
  bool read(double& value);

  template <class T> FieldReader& operator>>(T& value)
  {
    read(value);
    return *this;
  }

  bool fail() const { return mFail; }
  explicit operator bool() const { return !mFail; }

private:
  bool skipSpace();
  template <class T> bool readInteger(T& value);
  template <class T> bool readReal(T& value);

  std::string_view mText;
  size_t mPos = 0;
  bool mFail = false;
};

// White space as the C locale's isspace sees it.
inline bool IsSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// True when the text holds nothing but white space.
bool IsBlank(std::string_view text);
