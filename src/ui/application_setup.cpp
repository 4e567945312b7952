#include "ui/application_setup.h"

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <clocale>

#include "core/convert.h"

namespace vexa {

void SetUpApplication() {
  SetDecimalSeparator(DecimalSeparatorFor(QLocale::system().decimalPoint().toStdString()));
  std::setlocale(LC_NUMERIC, "C");
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  QApplication::setFont(font);
}

}  // namespace vexa
