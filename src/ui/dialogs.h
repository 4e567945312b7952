// Every message box of the program goes through this interface, so tests can record the
// boxes instead of blocking on them.
#pragma once

#include <QString>

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

}  // namespace vexa
