#pragma once
// Overlay text: lines of text anchored to the viewport, drawn over the scene
// with QPainter.
#include <map>
#include <string>
#include <vector>

#include <QFont>
#include <QPoint>
#include <QString>

#include "core/model/ref.h"
#include "core/model/vector.h"

class QPainter;

namespace vl {

enum EAlignment {
  AlignLeft = 1,
  AlignHCenter = 2,
  AlignRight = 4,
  AlignTop = 8,
  AlignVCenter = 16,
  AlignBottom = 32,
};

enum ETextAlignment { TextAlignLeft = 1, TextAlignCenter = 2, TextAlignRight = 4 };

class Font {
public:
  Font(const QFont& font, std::string path) : mFont(font), mPath(std::move(path)) {}
  const QFont& qfont() const { return mFont; }
  // The file the font came from; empty for the system fallback.
  const std::string& path() const { return mPath; }

private:
  QFont mFont;
  std::string mPath;
};

// Where fonts are looked for besides the path as given: the build tree's data
// directory, the installed one relative to the program, then the installed one.
std::vector<std::string> fontDataDirs();

// The file a font path names: the path as given (a backslash counts as a
// directory separator), then, for a relative path, the path under each data
// directory, then the bare file name under each data directory and its
// font/bitstream-vera folder. Empty when none exists.
std::string resolveFontPath(const std::string& path, const std::vector<std::string>& dataDirs);

class FontManager {
public:
  // Size in points at 96 dpi; smooth = anti-aliased glyphs. A font that
  // cannot be found or loaded gives the system monospaced font (logged once
  // per path), so the text never disappears. Needs the Qt application.
  ref<Font> acquireFont(const std::string& path, int size, bool smooth = false);

private:
  std::map<std::string, ref<Font>> mFonts;
};

FontManager* defFontManager();

class Text {
public:
  void setText(const std::string& text) { mText = text; }
  const std::string& text() const { return mText; }
  void setFont(const ref<Font>& font) { mFont = font; }
  const ref<Font>& font() const { return mFont; }
  // How the text block sits on its anchor point (EAlignment flags).
  void setAlignment(int alignment) { mAlignment = alignment; }
  int alignment() const { return mAlignment; }
  // Where in the viewport the anchor point is (EAlignment flags).
  void setViewportAlignment(int alignment) { mViewportAlignment = alignment; }
  int viewportAlignment() const { return mViewportAlignment; }
  // How lines are placed within the block.
  void setTextAlignment(ETextAlignment alignment) { mTextAlignment = alignment; }
  ETextAlignment textAlignment() const { return mTextAlignment; }
  // Offset of the anchor in pixels, y up (as OpenGL counts).
  void translate(float x, float y, float z) { mOffset = mOffset + fvec3(x, y, z); }
  void setOffset(const fvec3& offset) { mOffset = offset; }
  const fvec3& offset() const { return mOffset; }
  void setColor(const fvec4& color) { mColor = color; }
  const fvec4& color() const { return mColor; }

  // The font drawn with: the text's own, or the system monospaced one.
  QFont drawingFont() const;
  struct PlacedLine {
    QString text;
    QPoint baseline; // where the line's baseline starts, x right and y down
  };
  // The lines as placed in a viewport of width x height pixels.
  std::vector<PlacedLine> layout(int width, int height) const;
  // Draws onto a painter covering a viewport of width x height pixels.
  void draw(QPainter& painter, int width, int height) const;

private:
  std::string mText;
  ref<Font> mFont;
  int mAlignment = AlignLeft | AlignBottom;
  int mViewportAlignment = AlignLeft | AlignBottom;
  ETextAlignment mTextAlignment = TextAlignLeft;
  fvec3 mOffset;
  fvec4 mColor = white;
};

} // namespace vl
