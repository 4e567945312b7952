// Records the program's message boxes instead of showing them: the kind of box (an error box
// from the error guard, or a plain message box) and its text.
#pragma once

#include <QString>
#include <ostream>
#include <vector>

#include "ui/dialogs.h"

namespace vexa::testing {

struct RecordedBox {
  enum Kind { kError, kMessage } kind;
  QString text;
  bool operator==(const RecordedBox&) const = default;
};
using Boxes = std::vector<RecordedBox>;

// The boxes a test expects.
inline RecordedBox ErrorBox(const QString& text) {
  return {RecordedBox::kError, text};
}
inline RecordedBox MessageBox(const QString& text) {
  return {RecordedBox::kMessage, text};
}

inline void PrintTo(const RecordedBox& box, std::ostream* out) {
  *out << (box.kind == RecordedBox::kError ? "error box \"" : "message box \"")
       << box.text.toStdString() << '"';
}

class DialogRecorder : public Dialogs {
 public:
  DialogRecorder() { SetAppDialogs(this); }
  ~DialogRecorder() override { SetAppDialogs(nullptr); }
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;

  void ShowError(const QString& message) override {
    boxes.push_back({RecordedBox::kError, message});
  }
  void ShowMessage(const QString& message) override {
    boxes.push_back({RecordedBox::kMessage, message});
  }

  // The boxes shown so far, and forget them.
  Boxes Take() { return std::exchange(boxes, {}); }

  Boxes boxes;
};

}  // namespace vexa::testing
