// Records the program's message boxes instead of showing them: the kind of box (an error box
// from the error guard, or a plain message box) and its text.
#pragma once

#include <QString>
#include <functional>
#include <ostream>
#include <vector>

#include "ui/dialogs.h"

namespace vexa::testing {

struct RecordedBox {
  enum Kind { kError, kMessage } kind;
  QString text;
  QString caption;  // empty: the application title
  bool operator==(const RecordedBox&) const = default;
};
using Boxes = std::vector<RecordedBox>;

// The boxes a test expects.
inline RecordedBox ErrorBox(const QString& text) {
  return {RecordedBox::kError, text, QString()};
}
inline RecordedBox MessageBox(const QString& text, const QString& caption = QString()) {
  return {RecordedBox::kMessage, text, caption};
}

inline void PrintTo(const RecordedBox& box, std::ostream* out) {
  *out << (box.kind == RecordedBox::kError ? "error box \"" : "message box \"")
       << box.text.toStdString() << '"';
  if (!box.caption.isEmpty())
    *out << " captioned \"" << box.caption.toStdString() << '"';
}

class DialogRecorder : public Dialogs {
 public:
  DialogRecorder() { SetAppDialogs(this); }
  ~DialogRecorder() override { SetAppDialogs(nullptr); }
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;

  void ShowError(const QString& message) override {
    boxes.push_back({RecordedBox::kError, message, QString()});
  }
  void ShowMessage(const QString& message) override {
    boxes.push_back({RecordedBox::kMessage, message, QString()});
  }
  // Runs after a captioned box was recorded (the operator pressing OK), if set.
  std::function<void()> on_captioned_message;
  void ShowCaptionedMessage(const QString& caption, const QString& message) override {
    boxes.push_back({RecordedBox::kMessage, message, caption});
    if (on_captioned_message)
      on_captioned_message();
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
