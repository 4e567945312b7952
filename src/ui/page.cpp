#include "ui/page.h"

namespace vexa {

Page::Page(const char* sheet_name, QWidget* parent) : QWidget(parent) {
  setObjectName(QLatin1String(sheet_name));
}

void Page::Relayout(int, int) {}

}  // namespace vexa
