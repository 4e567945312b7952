// A one-line label for a text that holds a file path (the driver note under the instrument
// memos). When the text is wider than the label, whole folder names are left out from the
// middle of the path ("/usr/…/gpib/libgpib.so.0"), never half a name; the label elides again
// whenever its width changes while it is shown (a hidden label waits until it is shown: each
// try measures the text), and its tool tip holds the whole text.
#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QString>

namespace vexa {

// `text` shortened to at most `width` pixels in `metrics`: first by replacing whole parts of
// its longest path (a blank-separated word with a '/') from the middle with "…", keeping
// the file name longest; if even "…/name" does not fit, the end of the text is elided.
QString ElideWholePathParts(const QString& text, int width, const QFontMetrics& metrics);

class ElidedPathLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedPathLabel(QWidget* parent = nullptr);

  void SetFullText(const QString& text);
  QString FullText() const { return full_text_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Elide();

  QString full_text_;
  // What the shown text was elided from, to skip measuring again for the same width.
  QString elided_text_;
  int elided_width_ = -1;
};

}  // namespace vexa
