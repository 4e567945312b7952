// Records the program's message boxes instead of showing them: the kind of box (an error box
// from the error guard, a plain message box, or a question with two buttons) and its text.
// Questions are answered as the test says: at once or later, or never (the program closes
// them).
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>
#include <vector>

#include "ui/dialogs.h"

namespace vexa::testing {

struct RecordedBox {
  enum Kind { kError, kMessage, kQuestion } kind;
  QString text;
  QString caption;      // empty: the application title
  QStringList buttons;  // a question's two buttons
  bool operator==(const RecordedBox&) const = default;
};
using Boxes = std::vector<RecordedBox>;

// The boxes a test expects.
inline RecordedBox ErrorBox(const QString& text) {
  return {RecordedBox::kError, text, QString(), {}};
}
inline RecordedBox MessageBox(const QString& text, const QString& caption = QString()) {
  return {RecordedBox::kMessage, text, caption, {}};
}
inline RecordedBox QuestionBox(const QString& text, const QString& caption,
                               const QStringList& buttons) {
  return {RecordedBox::kQuestion, text, caption, buttons};
}

inline void PrintTo(const RecordedBox& box, std::ostream* out) {
  const char* kinds[] = {"error box \"", "message box \"", "question \""};
  *out << kinds[box.kind] << box.text.toStdString() << '"';
  if (!box.caption.isEmpty())
    *out << " captioned \"" << box.caption.toStdString() << '"';
  if (!box.buttons.isEmpty())
    *out << " with " << box.buttons.join(QStringLiteral(" / ")).toStdString();
}

class DialogRecorder : public Dialogs {
 public:
  DialogRecorder() { SetAppDialogs(this); }
  ~DialogRecorder() override {
    SetAppDialogs(nullptr);
    for (const Question& question : questions_)
      delete question.box.data();
  }
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;

  void ShowError(const QString& message) override { boxes.push_back(ErrorBox(message)); }
  void ShowMessage(const QString& message) override { boxes.push_back(MessageBox(message)); }
  // Runs after a captioned box was recorded (the operator pressing OK), if set.
  std::function<void()> on_captioned_message;
  void ShowCaptionedMessage(const QString& caption, const QString& message) override {
    boxes.push_back(MessageBox(message, caption));
    if (on_captioned_message)
      on_captioned_message();
  }

  // How the operator answers each question as it appears: the button to press (0 or 1),
  // pressed once the program has returned to its event loop; -1 (or unset) leaves the box
  // open for AnswerQuestion or the program to close.
  std::function<int()> on_question;
  QObject* ShowQuestion(QWidget* /*parent*/, const QString& caption, const QString& message,
                        const QString& first_button, const QString& second_button,
                        std::function<void(int)> answered) override {
    boxes.push_back(QuestionBox(message, caption, {first_button, second_button}));
    // The box: the program deletes it to close the question.
    auto* box = new QObject;
    questions_.push_back({box, true, std::move(answered)});
    const int button = on_question ? on_question() : -1;
    if (button >= 0) {
      QMetaObject::invokeMethod(
          box, [this, box, button] { Answer(box, button); }, Qt::QueuedConnection);
    }
    return box;
  }
  // Presses `button` on the oldest question still open; false when none is open.
  bool AnswerQuestion(int button) {
    for (const Question& question : questions_) {
      if (question.open && question.box)
        return Answer(question.box, button);
    }
    return false;
  }
  // The questions shown and not yet answered or closed by the program.
  int OpenQuestions() const {
    int open = 0;
    for (const Question& question : questions_)
      open += question.open && question.box ? 1 : 0;
    return open;
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
  struct Question {
    QPointer<QObject> box;  // null once the program deleted it
    bool open;
    std::function<void(int)> answered;
  };
  // The operator presses `button`: the box goes, then the program hears the answer.
  bool Answer(QObject* box, int button) {
    for (Question& question : questions_) {
      if (question.box != box || !box || !question.open)
        continue;
      question.open = false;
      box->deleteLater();
      const std::function<void(int)> answered = question.answered;  // may show the next one
      answered(button);
      return true;
    }
    return false;
  }
  std::vector<Question> questions_;

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
