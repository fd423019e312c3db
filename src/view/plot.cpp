#include "view/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace vl {

namespace {

QColor toColor(const fvec4& c)
{
  return QColor::fromRgbF(std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f));
}

// A number for an axis end: few digits, no trailing noise.
QString axisNumber(double v)
{
  char text[32];
  std::snprintf(text, sizeof text, std::fabs(v) >= 100 || v == std::floor(v) ? "%.0f" : "%.2f", v);
  return QString::fromLatin1(text);
}

// Pixels of the point's mark and of the reach of a click.
constexpr double kDot = 2.5, kRing = 6.0;
const QColor kMarkColor(255, 140, 0); // reads on dark and light backgrounds

} // namespace

void Plot::setPoints(std::vector<Point> points)
{
  mPoints = std::move(points);
  updateRanges();
}

void Plot::setSticks(bool sticks)
{
  mDirty = mDirty || sticks != mSticks;
  mSticks = sticks;
  updateRanges();
}

void Plot::setCurve(std::vector<Point> curve)
{
  mCurve = std::move(curve);
  updateRanges();
}

void Plot::updateRanges()
{
  mXMin = mYMin = HUGE_VAL;
  mXMax = mYMax = -HUGE_VAL;
  for (const auto* list : {&mPoints, &mCurve})
    for (const Point& p : *list) {
      mXMin = std::min(mXMin, p.x), mXMax = std::max(mXMax, p.x);
      mYMin = std::min(mYMin, p.y), mYMax = std::max(mYMax, p.y);
    }
  if (mSticks)
    mYMin = std::min(mYMin, 0.0); // sticks stand on zero
  // Flat or single ranges still get a frame to sit in.
  if (!(mXMax > mXMin))
    mXMin -= 1, mXMax += 1;
  if (!(mYMax > mYMin))
    mYMin -= 1, mYMax += 1;
  mDirty = true;
}

void Plot::setMarked(int index)
{
  mDirty = mDirty || index != mMarked;
  mMarked = index;
}

void Plot::setTitle(const std::string& title)
{
  mDirty = mDirty || title != mTitle;
  mTitle = title;
}

void Plot::setColors(const fvec4& ink, const fvec4& paper)
{
  mDirty = mDirty || !(ink == mInk) || !(paper == mPaper);
  mInk = ink;
  mPaper = paper;
}

void Plot::setFont(const QFont& font)
{
  mDirty = mDirty || font != mFont;
  mFont = font;
}

QRectF Plot::frame(int width, int height) const
{
  // Room for the y labels on the left, the title above, the x labels below.
  const QFontMetrics fm(mFont);
  const double left = fm.horizontalAdvance(QStringLiteral("-0000.00")) + 10.0;
  const double line = fm.height();
  return QRectF(left, line + 6.0, std::max(1.0, width - left - 14.0), std::max(1.0, height - 2.0 * line - 14.0));
}

QPointF Plot::toPixel(const Point& p, const QRectF& f) const
{
  return QPointF(f.left() + (p.x - mXMin) / (mXMax - mXMin) * f.width(),
                 f.bottom() - (p.y - mYMin) / (mYMax - mYMin) * f.height());
}

const QImage& Plot::image(int width, int height)
{
  if (!mDirty && mImage.width() == width && mImage.height() == height)
    return mImage;
  mDirty = false;
  mImage = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGBA8888_Premultiplied);
  const QColor ink = toColor(mInk), paper = toColor(mPaper);
  // The panel stands a little apart from the scene's background.
  mImage.fill(QColor::fromRgbF(paper.redF() * 0.9 + ink.redF() * 0.1, paper.greenF() * 0.9 + ink.greenF() * 0.1,
                               paper.blueF() * 0.9 + ink.blueF() * 0.1));
  QPainter painter(&mImage);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setFont(mFont);
  painter.setPen(ink);
  const QFontMetrics fm(mFont);
  const QRectF f = frame(width, height);
  painter.drawText(QPointF(6, fm.ascent() + 3), QString::fromStdString(mTitle));
  painter.drawLine(f.bottomLeft(), f.bottomRight());
  painter.drawLine(f.bottomLeft(), f.topLeft());
  const QString yTop = axisNumber(mYMax), yBottom = axisNumber(mYMin);
  painter.drawText(QPointF(f.left() - 6 - fm.horizontalAdvance(yTop), f.top() + fm.ascent() / 2.0), yTop);
  painter.drawText(QPointF(f.left() - 6 - fm.horizontalAdvance(yBottom), f.bottom() + fm.ascent() / 2.0), yBottom);
  const QString xLeft = axisNumber(mXMin), xRight = axisNumber(mXMax);
  painter.drawText(QPointF(f.left(), f.bottom() + fm.ascent() + 4), xLeft);
  painter.drawText(QPointF(f.right() - fm.horizontalAdvance(xRight), f.bottom() + fm.ascent() + 4), xRight);

  if (mSticks) {
    for (const Point& p : mPoints)
      painter.drawLine(toPixel({p.x, std::max(mYMin, 0.0)}, f), toPixel(p, f));
  }
  if (!mCurve.empty()) {
    QPainterPath curve(toPixel(mCurve.front(), f));
    for (const Point& p : mCurve)
      curve.lineTo(toPixel(p, f));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kMarkColor.darker(110), 1.5));
    painter.drawPath(curve);
    painter.setPen(ink);
  }
  if (!mPoints.empty() && !mSticks) {
    QPainterPath path(toPixel(mPoints.front(), f));
    for (const Point& p : mPoints)
      path.lineTo(toPixel(p, f));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setBrush(ink);
    painter.setPen(Qt::NoPen);
    // Dots only while they stay apart; a long trajectory is a line.
    if (f.width() / static_cast<double>(mPoints.size()) > 3 * kDot)
      for (const Point& p : mPoints)
        painter.drawEllipse(toPixel(p, f), kDot, kDot);
  }
  if (mMarked >= 0 && mMarked < static_cast<int>(mPoints.size())) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kMarkColor, 2.0));
    painter.drawEllipse(toPixel(mPoints[static_cast<size_t>(mMarked)], f), kRing, kRing);
  }
  return mImage;
}

int Plot::pointAt(int x, int y) const
{
  if (mPoints.empty() || mImage.isNull() || x < 0 || y < 0 || x >= mImage.width() || y >= mImage.height())
    return -1;
  const QRectF f = frame(mImage.width(), mImage.height());
  int best = -1;
  double bestDistance = HUGE_VAL;
  for (size_t i = 0; i < mPoints.size(); ++i) {
    const double d = std::fabs(toPixel(mPoints[i], f).x() - x);
    if (d < bestDistance)
      best = static_cast<int>(i), bestDistance = d;
  }
  // Within the frame a click picks the nearest point along x.
  return bestDistance <= std::max(kRing, f.width() / static_cast<double>(mPoints.size())) ? best : -1;
}

} // namespace vl
