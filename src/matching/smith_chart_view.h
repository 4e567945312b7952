// The Smith chart image of the "SMITH" page (Image3) and its marker (Shape1).
//
// The grid is drawn once (DrawSmithGrid) on a 352 × 352 image with a transparent background.
// Every position the page's logic works with is a pixel of that image: the widget reports the
// mouse in image pixels and places the marker by its image position, also while zoomed. On top
// of the grid it draws what helps matching by hand: a measured trace (reflections referred to
// 50 ohms) with the marked point of the frequency slider, and the circle of constant VSWR
// through the marker.
#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <complex>
#include <vector>

namespace vexa {

// Draws the Smith grid of a W × H image: the outer circle, the r = 0.5 and r = 2 circles, the
// real axis, the four arcs of x = ±√3 and x = ±1/√3 and the centre dot, black on white.
void DrawSmithGrid(QImage& image);

class SmithChart : public QWidget {
  Q_OBJECT

 public:
  explicit SmithChart(QWidget* parent = nullptr);

  // Draws the grid on the image (once, from the window's creation).
  void DrawGrid();
  const QImage& Image() const { return image_; }

  // The marker's top-left corner in image pixels.
  void SetMarker(int left, int top);
  QWidget* Marker() const { return marker_; }

  // The measured trace (reflections referred to 50 ohms) and its marked point (-1: none).
  void SetTrace(std::vector<std::complex<double>> gammas);
  void SetTraceMarker(int index);
  bool HasTrace() const { return !trace_.empty(); }

  void SetVswrCircle(bool shown);
  bool VswrCircle() const { return vswr_circle_; }

  // Zoom: 1 shows the whole image at its size. ZoomAt keeps the image point under `at`
  // (widget coordinates) where it is; the zoom never goes below 1 or above 16.
  void ZoomAt(const QPointF& at, double factor);
  void ResetZoom();
  double Zoom() const { return zoom_; }

  // Widget and image pixels under the current zoom.
  QPointF ToImage(const QPointF& widget_point) const;
  QPointF ToWidget(const QPointF& image_point) const;

  // The chart as shown (grid, trace, circle and marker) as a PNG file, written whole or not
  // at all. 0 or the errno value.
  int SavePng(const QString& path);

 signals:
  // The mouse over the chart, in image pixels (rounded down). Every button presses and
  // releases, as on the image of old; the chart therefore has no context menu.
  void ImageMouseMove(int x, int y);
  void ImageMouseDown(int x, int y);
  void ImageMouseUp();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPoint ImagePixel(const QPointF& widget_point) const;
  void PlaceMarker();

  QImage image_;
  QWidget* marker_;
  int marker_left_ = 174;
  int marker_top_ = 174;
  std::vector<std::complex<double>> trace_;
  int trace_marker_ = -1;
  bool vswr_circle_ = false;
  double zoom_ = 1;
  QPointF view_centre_;  // the image point at the widget's centre
};

}  // namespace vexa
