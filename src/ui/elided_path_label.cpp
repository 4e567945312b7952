#include "ui/elided_path_label.h"

#include <QStringList>
#include <QTimer>

namespace vexa {
namespace {

const QString kEllipsis = QStringLiteral("\u2026");

// Start and length of the longest blank-separated word holding a '/' (brackets around it
// are not part of the path).
std::pair<qsizetype, qsizetype> FindPath(const QString& text) {
  qsizetype best_start = -1;
  qsizetype best_length = 0;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(QLatin1Char(' '), start);
    if (end < 0)
      end = text.size();
    qsizetype word_start = start;
    qsizetype word_end = end;
    while (word_start < word_end && QStringLiteral("([\"'").contains(text[word_start]))
      ++word_start;
    while (word_end > word_start && QStringLiteral(")]\"',;:").contains(text[word_end - 1]))
      --word_end;
    const QStringView word = QStringView(text).mid(word_start, word_end - word_start);
    if (word.contains(QLatin1Char('/')) && word.size() > best_length) {
      best_start = word_start;
      best_length = word.size();
    }
    start = end + 1;
  }
  return {best_start, best_length};
}

}  // namespace

QString ElideWholePathParts(const QString& text, int width, const QFontMetrics& metrics) {
  if (metrics.horizontalAdvance(text) <= width)
    return text;
  const auto [start, length] = FindPath(text);
  if (start >= 0) {
    const QStringList parts = text.mid(start, length).split(QLatin1Char('/'));
    const qsizetype count = parts.size();
    // Keep `kept` parts: the first half at the front, the rest (with the file name) at the
    // back, and one "…" for the parts left out. Fewer parts each round.
    for (qsizetype kept = count - 1; kept >= 1; --kept) {
      const qsizetype head = kept / 2;
      const qsizetype tail = kept - head;
      QStringList shown = parts.mid(0, head);
      shown << kEllipsis;
      shown << parts.mid(count - tail);
      const QString candidate =
          text.left(start) + shown.join(QLatin1Char('/')) + text.mid(start + length);
      if (metrics.horizontalAdvance(candidate) <= width)
        return candidate;
    }
  }
  return metrics.elidedText(text, Qt::ElideRight, width);
}

ElidedPathLabel::ElidedPathLabel(QWidget* parent) : QLabel(parent) {}

void ElidedPathLabel::SetFullText(const QString& text) {
  full_text_ = text;
  setToolTip(text);
  Elide();
}

void ElidedPathLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

// The note waits for the first pass of the event loop after it is shown, so measuring its
// text never delays the window's first paint.
void ElidedPathLabel::showEvent(QShowEvent* event) {
  QLabel::showEvent(event);
  QTimer::singleShot(0, this, &ElidedPathLabel::Elide);
}

void ElidedPathLabel::Elide() {
  if (!isVisible())
    return;
  const int width = contentsRect().width();
  if (width == elided_width_ && full_text_ == elided_text_)
    return;
  elided_width_ = width;
  elided_text_ = full_text_;
  setText(ElideWholePathParts(full_text_, width, fontMetrics()));
}

}  // namespace vexa
