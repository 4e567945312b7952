// Records the program's message boxes instead of showing them.
#pragma once

#include <QString>
#include <QStringList>

#include "app/dialogs.h"

namespace vexa::testing {

struct RecordedBox {
  enum Kind { kError, kMessage } kind;
  QString text;
  bool operator==(const RecordedBox&) const = default;
};

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

  // The texts shown so far, and forget them.
  QStringList Take();

  std::vector<RecordedBox> boxes;
};

}  // namespace vexa::testing
