// The PVT view of the GSM tab: the GMSK and 8PSK power-versus-time masks of a normal burst,
// the notes on their marked levels, and the switch between the two masks.
#pragma once

#include <QLabel>

#include "gsm/pvt_mask_view.h"
#include "ui/clickable_label.h"
#include "ui/page.h"

namespace vexa {

inline constexpr char kTo8pskCaption[] = "<---Clk to 8PSK";
inline constexpr char kToGmskCaption[] = "<---Clk to GMSK";

class PvtPage : public Page {
  Q_OBJECT

 public:
  explicit PvtPage(QWidget* parent = nullptr);

  PvtMaskPicture* Image1;  // GMSK mask, shown at start
  PvtMaskPicture* Image2;  // 8PSK mask, hidden at start
  QLabel* Label16;
  QLabel* Label17;
  QLabel* Label18;
  QLabel* Label40;
  ClickableLabel* Label41;  // the switch

  // The switch decides by its own caption: "<---Clk to 8PSK" shows the 8PSK mask.
  void Label41Click();
};

}  // namespace vexa
