#include "matching/smith_form.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/checked_math.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/form_messages.h"
#include "core/number_text.h"
#include "matching/smith.h"

namespace vexa {
namespace {

constexpr ChartMapping kChart{kSmithImageSize, kSmithImageSize};

// arccos with the checked convention: an argument beyond ±1 is an invalid operation.
double ArcCos(double x) {
  if (!(x >= -1.0 && x <= 1.0))
    throw FloatError(kInvalidOperation);
  return std::acos(x);
}

}  // namespace

SmithForm::SmithForm() = default;

void SmithForm::MoveMarkerTo(int left, int top) {
  MarkerLeft = left;
  MarkerTop = top;
}

void SmithForm::Image3MouseMove(int x, int y) {
  if (!kChart.Inside(x, y))
    return;
  state.gamma = kChart.PixelToGamma(x, y);
  state.impedance = GammaToImpedance(state.gamma);
  LabeledEdit10 = FormatNumber(state.impedance.real());
  LabeledEdit11 = FormatNumber(state.impedance.imag());
  if (state.dragging) {
    MoveMarkerTo(x - 2, y - 2);
    SyncAngleFromMarker();
    ShowEquivalentCircuits();
  }
}

void SmithForm::Image3MouseDown(int x, int y) {
  // The impedance the circuits show is the current one: the rotation's if the angle changes,
  // otherwise the one the last mouse move left.
  if (kChart.Inside(x, y)) {
    MoveMarkerTo(x - 2, y - 2);
    SyncAngleFromMarker();
    ShowEquivalentCircuits();
  }
  state.dragging = true;
}

void SmithForm::Image3MouseUp() {
  state.dragging = false;
}

void SmithForm::SetScrollPosition(int position) {
  const int clamped = std::clamp(position, 0, kSmithScrollMax);
  if (clamped == ScrollPosition)
    return;
  ScrollPosition = clamped;
  ScrollBar6Change();
}

void SmithForm::SyncAngleFromMarker() {
  // In double: a marker far outside the chart may sit near the int range's ends.
  const double dx = (static_cast<double>(MarkerLeft) + 2) - kChart.cx();
  const double dy = kChart.cy() - (static_cast<double>(MarkerTop) + 2);
  state.dx = dx;
  state.dy = dy;
  // The chart centre has no angle: the scroll bar stays where it is, and the marked point is
  // the centre itself, 50 + j0 with no reflection, which both labels show.
  if (dx == 0.0 && dy == 0.0) {
    state.gamma = {0.0, 0.0};
    state.impedance = GammaToImpedance(state.gamma);
    Label55 = ImpedanceText(state.impedance);
    Label64 = ReflectionText(state.gamma);
    return;
  }
  const double cosine = Divide(dx, Sqrt(Checked(dx * dx + dy * dy)));
  const double a = ArcCos(cosine) * 0.5 * (1.0 / std::numbers::pi) * 3600;
  const int position = dy >= 0.0 ? TruncateToInt(a) : TruncateToInt(3600 - a);
  SetScrollPosition(position);
}

void SmithForm::ScrollBar6Change() {
  // The radius is the stored offset's, which stays as it is: turning keeps |Γ|.
  const double r = Sqrt(Checked(state.dx * state.dx + state.dy * state.dy));
  const double theta = ChartMapping::ScrollAngle(ScrollPosition);
  const double along = r * std::cos(theta);
  const double across = r * std::sin(theta);
  const int left = TruncateToInt(along + (kChart.cx() - 2));
  const int top = TruncateToInt((kChart.cy() - 2) - across);
  MoveMarkerTo(left, top);
  state.gamma = {along / kChart.width * 2, across / kChart.height * 2};
  state.impedance = GammaToImpedance(state.gamma);
  Label55 = ImpedanceText(state.impedance);
  Label64 = ReflectionText(state.gamma);
  ShowEquivalentCircuits();
}

void SmithForm::ShowEquivalentCircuits() {
  const double frequency_hz = Checked(TextToFloat(LabeledEdit12) * 1000000.0);
  WriteEquivalentCircuits(state.impedance, frequency_hz,
                          {Label56, Label57, Label58, Label59, Label60});
}

void SmithForm::PlaceMarkerFromImpedance() {
  // The first pass may let the rotation re-derive the point from the angle truncated to a
  // tenth of a degree; the second writes the typed point again at the now unchanged angle.
  for (int pass = 0; pass < 2; ++pass) {
    const double x = TextToFloat(LabeledEdit11);
    const double r = TextToFloat(LabeledEdit10);
    const std::complex<double> impedance(r, x);
    const std::complex<double> gamma = ImpedanceToGamma(impedance);
    const ChartMapping::Corner corner = kChart.GammaToMarker(gamma);
    state.impedance = impedance;
    state.gamma = gamma;
    MoveMarkerTo(corner.left, corner.top);
    Label55 = ImpedanceText(impedance);
    SyncAngleFromMarker();
    ShowEquivalentCircuits();
  }
  Label64 = ReflectionText(state.gamma);
}

void SmithForm::LabeledEdit10KeyDown(int key) {
  if (key == kEnterKey)
    PlaceMarkerFromImpedance();
}

void SmithForm::LabeledEdit11KeyDown(int key) {
  if (key == kEnterKey)
    PlaceMarkerFromImpedance();
}

}  // namespace vexa
