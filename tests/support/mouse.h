// Mouse input through the window system's path. QTest's widget overloads send a double click
// as a lone double-click event; a real one arrives at the window as press, release, press,
// release, and Qt turns the second press into press + double click. Page tests that care
// about what a double click does use these.
#pragma once

#include <QTest>
#include <QWidget>
#include <QWindow>

namespace vexa::testing {

// Shows `widget`'s window (and the widget's sheet, if its caller made it current) and double
// clicks the widget's centre through the window.
inline bool DoubleClickThroughTheWindow(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
  QWidget* top = widget->window();
  top->show();
  if (!QTest::qWaitForWindowExposed(top))
    return false;
  const QPoint centre = widget->mapTo(top, widget->rect().center());
  QTest::mouseDClick(top->windowHandle(), button, Qt::NoModifier, centre);
  return true;
}

}  // namespace vexa::testing
