// The ABOUT page: two pictures, two captions, the mail link and the skin switch.
#pragma once

#include <QLabel>
#include <QString>
#include <QUrl>
#include <functional>

#include "ui/clickable_label.h"
#include "ui/page.h"

namespace vexa {

class SkinData;

class AboutPage : public Page {
  Q_OBJECT

 public:
  inline static const QString kMailLink = QStringLiteral("mailto:vexa.toolbox@example.org");

  AboutPage(SkinData* skin, QWidget* parent = nullptr);

  // Fills Label73, the last step of the window's creation.
  void FormCreate() override;

  // How the mail link is opened; the desktop's default handler unless replaced (tests).
  void SetUrlOpener(std::function<void(const QUrl&)> opener) { open_url_ = std::move(opener); }
  bool MailLinkOpened() const { return mail_link_opened_; }

  // The pictures are drawn when the page is first shown.
  ClickableLabel* Image4;
  ClickableLabel* Image5;
  QLabel* Label54;
  QLabel* Label73;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Image4Click();
  void Image5DblClick();

  SkinData* skin_;
  std::function<void(const QUrl&)> open_url_;
  bool mail_link_opened_ = false;
  bool pictures_drawn_ = false;
};

// The decorative pictures, drawn by the program itself.
QPixmap DrawFishPicture(QSize size);
QPixmap DrawMastPicture(QSize size);

}  // namespace vexa
