// A sheet of the main window's page control. Each page is its own class in its own folder;
// the main window creates it from one line of its page table, hands it the sheet's measured
// size when that changes, and runs its share of the window's creation in order.
#pragma once

#include <QWidget>

namespace vexa {

class Page : public QWidget {
  Q_OBJECT

 public:
  // `sheet_name` is the sheet's form name ("TabSheet13"), also its objectName.
  explicit Page(const char* sheet_name, QWidget* parent = nullptr);

  // The page's part of the window's creation: fills the texts that are computed at start-up.
  // The main window runs it once, in its fixed order of pages. Nothing by default.
  virtual void FormCreate() {}

  // Re-places the controls that follow the sheet's size. The main window calls it with the
  // sheet's real size whenever that changes (maximise, restore). At the design size every
  // control stands at its design place. Nothing moves by default.
  virtual void Relayout(int sheet_width, int sheet_height);

  // The main window is closing: background work (an instrument run) is told to end, without
  // waiting for it here. Nothing by default.
  virtual void FormClose() {}
};

}  // namespace vexa
