#include "app/clock.h"

namespace vexa {

QString ClockText(const QDateTime& now, const QLocale& locale) {
  const QString date = locale.toString(now.date(), QLocale::ShortFormat);
  if (now.time() == QTime(0, 0))
    return date;
  // Some locales put the zone ("t") into the long format; a desk clock does not need it.
  QString time_format = locale.timeFormat(QLocale::LongFormat);
  time_format.remove(QLatin1Char('t'));
  return date + QLatin1Char(' ') + locale.toString(now.time(), time_format.trimmed());
}

}  // namespace vexa
