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

  // The file dialogs answer with the next of these names (an empty text: cancelled), and
  // remember the filters they were shown with.
  QString AskOpenFileName(const QString& filters) override { return NextFileName(filters); }
  QString AskSaveFileName(const QString& filters) override { return NextFileName(filters); }
  std::vector<QString> file_names;
  QString last_filters;

  // The boxes shown so far, and forget them.
  Boxes Take() { return std::exchange(boxes, {}); }

  Boxes boxes;

 private:
  QString NextFileName(const QString& filters) {
    last_filters = filters;
    if (file_names.empty())
      return QString();
    QString name = file_names.front();
    file_names.erase(file_names.begin());
    return name;
  }
};

}  // namespace vexa::testing
