// Building blocks shared by the two instrument pages.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "instrument/memo_widget.h"

namespace vexa {

// Design geometry of the instrument pages: the memo along the left, a column of controls
// on the right starting at kRightColumn, the driver note under the memo.
inline constexpr int kRightColumn = 448;
inline constexpr int kMemoWidth = 441;
inline constexpr int kMemoHeight = 326;
inline constexpr int kControlWidth = 121;

MemoWidget* MakeMemo(QWidget* page, const char* name);
QLineEdit* MakeCommandLine(QWidget* page, const char* name);
QPushButton* MakeButton(QWidget* page, const char* name, const QString& caption, int top,
                        bool enabled);
QLabel* MakeLabel(QWidget* page, const char* name, const QString& caption, int left, int top);
// One line under the memo naming the GPIB driver library in use, or the names tried.
QLabel* MakeDriverNote(QWidget* page);

}  // namespace vexa
