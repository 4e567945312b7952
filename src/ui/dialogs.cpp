#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace vexa {
namespace {

DialogOwner* g_innermost_owner = nullptr;

// A box or file dialog is never a window that ends the program when it closes.
void NeverQuitOnClose(QWidget* dialog) {
  dialog->setAttribute(Qt::WA_QuitOnClose, false);
}

QString AskFileName(QFileDialog::AcceptMode mode, const QString& filters) {
  QFileDialog dialog(DialogParent(), QString(), QStringLiteral("."), filters);
  NeverQuitOnClose(&dialog);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted)
    return QString();
  return dialog.selectedFiles().value(0);
}

class MessageBoxDialogs final : public Dialogs {
 public:
  void ShowError(const QString& message) override {
    Show(QMessageBox::Critical, QString::fromLatin1(kAppTitle), message);
  }
  void ShowMessage(const QString& message) override {
    ShowCaptionedMessage(QString::fromLatin1(kAppTitle), message);
  }
  void ShowCaptionedMessage(const QString& caption, const QString& message) override {
    Show(QMessageBox::NoIcon, caption, message);
  }
  QObject* ShowQuestion(QWidget* parent, const QString& caption, const QString& message,
                        const QString& first_button, const QString& second_button,
                        std::function<void(int)> answered) override {
    auto* box = new QMessageBox(QMessageBox::NoIcon, caption, message, QMessageBox::NoButton,
                                parent ? parent->window() : DialogParent());
    NeverQuitOnClose(box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QPushButton* first = box->addButton(first_button, QMessageBox::AcceptRole);
    QPushButton* second = box->addButton(second_button, QMessageBox::RejectRole);
    box->setDefaultButton(first);
    box->setEscapeButton(first);
    QObject::connect(box, &QDialog::finished, box,
                     [box, second, answered] { answered(box->clickedButton() == second ? 1 : 0); });
    box->show();
    return box;
  }
  QString AskOpenFileName(const QString& filters) override {
    return AskFileName(QFileDialog::AcceptOpen, filters);
  }
  QString AskSaveFileName(const QString& filters) override {
    return AskFileName(QFileDialog::AcceptSave, filters);
  }

 private:
  static void Show(QMessageBox::Icon icon, const QString& caption, const QString& message) {
    QMessageBox box(icon, caption, message, QMessageBox::Ok, DialogParent());
    NeverQuitOnClose(&box);
    box.exec();
  }
};

Dialogs* g_installed = nullptr;

}  // namespace

Dialogs& MessageBoxes() {
  static MessageBoxDialogs message_boxes;
  return message_boxes;
}

Dialogs& AppDialogs() {
  return g_installed ? *g_installed : MessageBoxes();
}

DialogOwner::DialogOwner(QWidget* widget) : widget_(widget), outer_(g_innermost_owner) {
  g_innermost_owner = this;
}

DialogOwner::~DialogOwner() {
  g_innermost_owner = outer_;
}

QWidget* DialogParent() {
  for (const DialogOwner* owner = g_innermost_owner; owner; owner = owner->outer_) {
    if (owner->widget_ && owner->widget_->window()->isVisible())
      return owner->widget_->window();
  }
  if (QWidget* modal = QApplication::activeModalWidget())
    return modal;
  if (QWidget* active = QApplication::activeWindow())
    return active;
  QWidget* child_window = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    const Qt::WindowType type = widget->windowType();
    if (!widget->isVisible() || (type != Qt::Window && type != Qt::Dialog))
      continue;
    if (!widget->parentWidget())
      return widget;
    if (!child_window)
      child_window = widget;
  }
  return child_window;
}

void SetAppDialogs(Dialogs* dialogs) {
  g_installed = dialogs;
}

}  // namespace vexa
