#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace vexa {
namespace {

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
                                parent ? parent->window() : nullptr);
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
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                        QStringLiteral("."), filters);
  }
  QString AskSaveFileName(const QString& filters) override {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                        QStringLiteral("."), filters);
  }

 private:
  static void Show(QMessageBox::Icon icon, const QString& caption, const QString& message) {
    QMessageBox box(icon, caption, message, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  }
};

Dialogs* g_installed = nullptr;

}  // namespace

Dialogs& AppDialogs() {
  static MessageBoxDialogs message_boxes;
  return g_installed ? *g_installed : message_boxes;
}

void SetAppDialogs(Dialogs* dialogs) {
  g_installed = dialogs;
}

}  // namespace vexa
