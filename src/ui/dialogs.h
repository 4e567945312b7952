// Every message box of the program goes through this interface, so tests can record the
// boxes instead of blocking on them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace vexa {

// Caption of the main window, the application title and every message box.
inline constexpr char kAppTitle[] = "VEXA 2.02";

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal box with an error icon, as the application's default error handler shows it.
  virtual void ShowError(const QString& message) = 0;
  // A plain modal box with one OK button (range and sanity messages).
  virtual void ShowMessage(const QString& message) = 0;
  // The same box with its own caption instead of the application title.
  virtual void ShowCaptionedMessage(const QString& caption, const QString& message) = 0;
  // A box with its own caption, a text and two buttons that does not hold the program up: it
  // returns at once, every window stays usable, and `answered` runs later on the GUI thread
  // with the button pressed (0 the first, 1 the second; closing the box or Escape counts as
  // the first). The box stands over `parent`'s window. Deleting the returned object closes
  // the box unanswered; it goes by itself once answered.
  virtual QObject* ShowQuestion(QWidget* parent, const QString& caption, const QString& message,
                                const QString& first_button, const QString& second_button,
                                std::function<void(int)> answered) = 0;
  // The open and save file dialogs, starting in the working directory, with `filters` in
  // Qt's form ("Test Plan (*.tpl);;All (*)"). The chosen name, or an empty text when the
  // user cancels.
  virtual QString AskOpenFileName(const QString& filters) = 0;
  virtual QString AskSaveFileName(const QString& filters) = 0;
};

// The program-wide dialogs: QMessageBox boxes unless a test installed its own.
Dialogs& AppDialogs();
// Installs `dialogs` (not owned) in place of the message boxes; nullptr restores them.
void SetAppDialogs(Dialogs* dialogs);
// The program's own boxes and file dialogs, also while a test has installed others.
Dialogs& MessageBoxes();

// The window a box or file dialog shown now stands over: the window of the innermost living
// DialogOwner that is visible, else the active modal dialog, else the active window, else a
// visible window of the program (one without a parent first). Right after a file dialog
// closes there is no active window for a moment; the box must still have a parent, or with
// the main window hidden it would be the program's last window and closing it would end the
// program. nullptr only when no window of the program is visible.
QWidget* DialogParent();

// While it lives, the boxes and file dialogs stand over `widget`'s window (a window that
// shows its own boxes, such as the test-plan window, which hides the main window). Owners
// nest; GUI thread only. Whatever their parent, closing a box or file dialog never ends the
// program.
class DialogOwner {
 public:
  explicit DialogOwner(QWidget* widget);
  ~DialogOwner();
  DialogOwner(const DialogOwner&) = delete;
  DialogOwner& operator=(const DialogOwner&) = delete;

 private:
  friend QWidget* DialogParent();
  QPointer<QWidget> widget_;
  DialogOwner* outer_;
};

}  // namespace vexa
