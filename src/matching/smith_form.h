// The SMITH page as a form model: the texts of its controls, the marker position, the scroll
// bar and the chart's state, and its handlers, without Qt. The window's page mirrors these into
// its widgets and forwards its events here; `vexa-cli smith` drives the same model.
//
// Handlers throw ConversionError / FloatError (core/errors.h) where the page's default error
// handler would take over; what they wrote before that stays written.
//
// Cases the handlers settle on their own:
// - The marker centre exactly on the chart centre (dx = dy = 0: Enter with 50 and 0, a press or
//   a drag onto the centre pixel) has no angle. The marker sync then stores the offset (0, 0),
//   leaves the scroll position as it is (no error, no rotation) and marks the centre itself:
//   the impedance 50 + j0 and Γ = 0, which Label55 ("Red=50\nj(0)") and Label64 ("Γ=0  ")
//   show. The handler goes on: the equivalent circuits are written and Enter runs its second
//   pass.
// - Enter with −50 + j0 ends with the floating-point error of the reflection division before
//   the marker moves; nothing changes.
// - A pixel at Γ = 1 (the right end of the real axis, x = 352 on this image, outside its pixels)
//   ends the mouse move with the floating-point error of the impedance division, after the
//   reflection was stored and before any field is written.
// - A marker corner beyond the int range (a negative resistance close to −50 ohms) ends the
//   handler with the invalid-operation error before the marker moves.
#pragma once

#include <complex>
#include <string>

#include "core/form_fields.h"

namespace vexa {

inline constexpr int kSmithImageSize = 352;
inline constexpr int kSmithScrollMax = 3600;

struct SmithState {
  std::complex<double> impedance;  // ohms
  std::complex<double> gamma;
  double dx = 0, dy = 0;  // markerOffset, pixels, y upward
  bool dragging = false;
};

class SmithForm {
 public:
  SmithForm();

  std::string LabeledEdit10;           // "R"
  std::string LabeledEdit11;           // "+j X"
  std::string LabeledEdit12 = "1800";  // "Freq  MHz  C/L  pF/nH"
  std::string Label55 = "Red=50+j(0)";
  std::string Label56 = "RCL";
  std::string Label57 = "R1=", Label58 = "L1=", Label59 = "R2=", Label60 = "L2=";
  std::string Label64 = "Γ=";             // UTF-8
  int MarkerLeft = 174, MarkerTop = 174;  // Shape1's top-left corner
  int ScrollPosition = 0;                 // ScrollBar6
  SmithState state;

  // The pointer over the chart: a pixel inside the circle shows its impedance in the R and
  // +j X fields; while dragging it also carries the marker.
  void Image3MouseMove(int x, int y);
  // Any button: inside the circle the marker jumps to the pointer; dragging starts in any case.
  void Image3MouseDown(int x, int y);
  void Image3MouseUp();
  // The scroll bar set to `position` (by the user or the program): clamped to 0..3600;
  // ScrollBar6Change runs only when the position changed.
  void SetScrollPosition(int position);
  void LabeledEdit10KeyDown(int key);  // Enter (13) runs PlaceMarkerFromImpedance
  void LabeledEdit11KeyDown(int key);

 private:
  void MoveMarkerTo(int left, int top);
  void SyncAngleFromMarker();
  void ScrollBar6Change();
  void ShowEquivalentCircuits();
  void PlaceMarkerFromImpedance();
};

// The form's texts, in vexa-cli's printing order; the results only print.
inline constexpr FormField<SmithForm> kSmithFields[] = {
    {"r", "LabeledEdit10", "\"R\", resistance in ohms", &SmithForm::LabeledEdit10},
    {"x", "LabeledEdit11", "\"+j X\", reactance in ohms", &SmithForm::LabeledEdit11},
    {"freq", "LabeledEdit12", "\"Freq  MHz  C/L  pF/nH\", frequency of the equivalent circuits",
     &SmithForm::LabeledEdit12},
    {"impedance", "Label55", "the marked impedance", &SmithForm::Label55, FieldUse::kPrinted},
    {"gamma", "Label64", "its reflection", &SmithForm::Label64, FieldUse::kPrinted},
    {"circuit", "Label56", "the equivalent circuit", &SmithForm::Label56, FieldUse::kPrinted},
    {"r1", "Label57", "R1", &SmithForm::Label57, FieldUse::kPrinted},
    {"l1", "Label58", "L1 or C1", &SmithForm::Label58, FieldUse::kPrinted},
    {"r2", "Label59", "R2", &SmithForm::Label59, FieldUse::kPrinted},
    {"l2", "Label60", "L2 or C2", &SmithForm::Label60, FieldUse::kPrinted},
};

}  // namespace vexa
