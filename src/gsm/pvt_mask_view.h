// The picture of a power-versus-time mask on the GSM tab's PVT view (Image1: GMSK, Image2:
// 8PSK), drawn as vector graphics at any size from the geometry in pvt_geometry.h: the upper
// limit in red, the lower limit in blue, the marked levels, the ramp steps and the useful part.
#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QWidget>

#include "gsm/pvt_geometry.h"

namespace vexa {

// The plot area of a picture of `size` written with `metrics`.
PvtMaskFrame MaskFrame(QSize size, const QFontMetrics& metrics);

class PvtMaskPicture : public QWidget {
  Q_OBJECT

 public:
  PvtMaskPicture(const PvtMask& mask, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const PvtMask& mask_;
};

}  // namespace vexa
