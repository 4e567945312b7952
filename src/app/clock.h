// The clock text of the ARFCN view.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace vexa {

// The regional short date, a blank and the long time; at exactly midnight the time is left
// out. The long time is the locale's, without a time-zone name.
QString ClockText(const QDateTime& now, const QLocale& locale = QLocale::system());

}  // namespace vexa
