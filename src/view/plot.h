#pragma once
// A small plot for the panel under the scene, painted with QPainter into an
// image: points joined by a line, the marked point ringed, the ranges of both
// axes and a title. Painted again only when its content or size changes.
#include <string>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRectF>

#include "core/model/vector.h"

namespace vl {

class Plot {
public:
  struct Point {
    double x, y;
  };
  void setPoints(std::vector<Point> points);
  // Sticks from the axis up to each point instead of a line through them,
  // and a curve drawn over them (a broadened spectrum).
  void setSticks(bool sticks);
  void setCurve(std::vector<Point> curve);
  const std::vector<Point>& curve() const { return mCurve; }
  const std::vector<Point>& points() const { return mPoints; }
  // The index of the point to ring; -1 for none.
  void setMarked(int index);
  int marked() const { return mMarked; }
  void setTitle(const std::string& title);
  // Ink for lines and text, paper for the background.
  void setColors(const fvec4& ink, const fvec4& paper);
  void setFont(const QFont& font);

  const QImage& image(int width, int height);
  // The point nearest pixel (x, y) of the last image, within a few pixels
  // along x; -1 when there is none.
  int pointAt(int x, int y) const;

private:
  QRectF frame(int width, int height) const;
  QPointF toPixel(const Point& p, const QRectF& frame) const;

  std::vector<Point> mPoints, mCurve;
  bool mSticks = false;
  void updateRanges();
  int mMarked = -1;
  std::string mTitle;
  fvec4 mInk = white, mPaper = black;
  QFont mFont;
  QImage mImage;
  bool mDirty = true;
  double mXMin = 0, mXMax = 1, mYMin = 0, mYMax = 1;
};

} // namespace vl
