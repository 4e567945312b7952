#include "support/dialog_recorder.h"

namespace vexa::testing {

QStringList DialogRecorder::Take() {
  QStringList texts;
  for (const RecordedBox& box : boxes)
    texts << box.text;
  boxes.clear();
  return texts;
}

}  // namespace vexa::testing
