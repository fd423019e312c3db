#include "view/text.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include "core/model/log.h"

namespace vl {

namespace {

bool isFile(const std::string& path)
{
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string join(const std::string& dir, const std::string& rel)
{
  if (dir.empty())
    return rel;
  return dir.back() == '/' ? dir + rel : dir + "/" + rel;
}

} // namespace

std::vector<std::string> fontDataDirs()
{
  std::vector<std::string> dirs;
#ifdef ORBISK_BUILD_DATADIR
  dirs.push_back(ORBISK_BUILD_DATADIR);
#endif
#ifdef ORBISK_DATADIR_FROM_BIN
  // As installed beside the program: a package unpacked under another prefix finds its own.
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec)
    dirs.push_back((program.parent_path() / ORBISK_DATADIR_FROM_BIN).lexically_normal().string());
#endif
#ifdef ORBISK_INSTALL_DATADIR
  dirs.push_back(ORBISK_INSTALL_DATADIR);
#endif
  return dirs;
}

std::string resolveFontPath(const std::string& path, const std::vector<std::string>& dataDirs)
{
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty())
    return {};
  if (isFile(p))
    return p;
  if (p.front() != '/') {
    for (const auto& dir : dataDirs)
      if (isFile(join(dir, p)))
        return join(dir, p);
  }
  const std::string base = std::filesystem::path(p).filename().string();
  if (base.empty())
    return {};
  for (const auto& dir : dataDirs) {
    for (const std::string& candidate : {join(dir, base), join(dir, "font/bitstream-vera/" + base)})
      if (isFile(candidate))
        return candidate;
  }
  return {};
}

ref<Font> FontManager::acquireFont(const std::string& path, int size, bool smooth)
{
  const std::string key = path + '\n' + std::to_string(size) + (smooth ? "s" : "");
  auto found = mFonts.find(key);
  if (found != mFonts.end())
    return found->second;

  QFont qfont;
  std::string loadedFrom;
  const std::string file = resolveFontPath(path, fontDataDirs());
  if (file.empty()) {
    Log::print("Font '" + path + "' not found: the overlay uses the system monospaced font\n");
  } else {
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(file));
    const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    if (families.isEmpty()) {
      Log::print("Font '" + file + "' could not be loaded: the overlay uses the system monospaced font\n");
    } else {
      qfont = QFont(families.first());
      loadedFrom = file;
    }
  }
  if (loadedFrom.empty())
    qfont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  // Points at 96 dpi, whatever the screen says: 10 pt is 13 pixels.
  qfont.setPixelSize(std::max(1, static_cast<int>(size * 96.0 / 72.0 + 0.5)));
  qfont.setStyleStrategy(smooth ? QFont::PreferAntialias : QFont::NoAntialias);

  auto font = make_ref<Font>(qfont, loadedFrom);
  mFonts[key] = font;
  return font;
}

FontManager* defFontManager()
{
  static FontManager manager;
  return &manager;
}

QFont Text::drawingFont() const
{
  if (mFont)
    return mFont->qfont();
  QFont qfont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  qfont.setPixelSize(13);
  return qfont;
}

namespace {

// The line broken into pieces no wider than the window: at the last blank
// that fits, or inside a word longer than the window.
QStringList wrap(QString line, const QFontMetrics& fm, int width)
{
  QStringList pieces;
  const int room = std::max(1, width - 4); // a little margin on either side
  while (line.size() > 1 && fm.horizontalAdvance(line) > room) {
    int fit = line.size() - 1;
    while (fit > 1 && fm.horizontalAdvance(line.left(fit)) > room)
      --fit;
    const int blank = line.lastIndexOf(' ', fit);
    pieces << line.left(blank > 0 ? blank : fit);
    line = line.mid(blank > 0 ? blank + 1 : fit);
  }
  pieces << line;
  return pieces;
}

} // namespace

std::vector<Text::PlacedLine> Text::layout(int width, int height) const
{
  std::vector<PlacedLine> placed;
  if (mText.empty())
    return placed;
  const QFontMetrics fm(drawingFont());

  QStringList lines;
  for (const QString& line : QString::fromStdString(mText).split('\n'))
    lines << wrap(line, fm, width);
  if (lines.size() > 1 && lines.back().isEmpty())
    lines.removeLast();
  int blockWidth = 0;
  for (const QString& line : lines)
    blockWidth = std::max(blockWidth, fm.horizontalAdvance(line));
  const int blockHeight = static_cast<int>(lines.size()) * fm.lineSpacing();

  // Anchor in window pixels, y down; the offset counts y up.
  float ax = 0, ay = static_cast<float>(height);
  if (mViewportAlignment & AlignHCenter)
    ax = width * 0.5f;
  else if (mViewportAlignment & AlignRight)
    ax = static_cast<float>(width);
  if (mViewportAlignment & AlignTop)
    ay = 0;
  else if (mViewportAlignment & AlignVCenter)
    ay = height * 0.5f;
  ax += mOffset.x;
  ay -= mOffset.y;

  float bx = ax, by = ay - blockHeight;
  if (mAlignment & AlignHCenter)
    bx = ax - blockWidth * 0.5f;
  else if (mAlignment & AlignRight)
    bx = ax - blockWidth;
  if (mAlignment & AlignTop)
    by = ay;
  else if (mAlignment & AlignVCenter)
    by = ay - blockHeight * 0.5f;

  for (int i = 0; i < lines.size(); ++i) {
    const int lineWidth = fm.horizontalAdvance(lines[i]);
    float lx = bx;
    if (mTextAlignment == TextAlignCenter)
      lx = bx + (blockWidth - lineWidth) * 0.5f;
    else if (mTextAlignment == TextAlignRight)
      lx = bx + (blockWidth - lineWidth);
    // Whole pixels keep unsmoothed glyphs crisp.
    placed.push_back({lines[i], QPoint(static_cast<int>(std::floor(lx)),
                                       static_cast<int>(std::floor(by)) + i * fm.lineSpacing() + fm.ascent())});
  }
  return placed;
}

void Text::draw(QPainter& painter, int width, int height) const
{
  const std::vector<PlacedLine> lines = layout(width, height);
  if (lines.empty())
    return;
  painter.setFont(drawingFont());
  painter.setPen(QColor::fromRgbF(std::clamp(mColor.r, 0.0f, 1.0f), std::clamp(mColor.g, 0.0f, 1.0f),
                                  std::clamp(mColor.b, 0.0f, 1.0f), std::clamp(mColor.a, 0.0f, 1.0f)));
  for (const PlacedLine& line : lines)
    painter.drawText(line.baseline, line.text);
}

} // namespace vl
