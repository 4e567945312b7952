// The ARFCN view and `vexa-cli gsm` bind through the form's table.
#include <gtest/gtest.h>

#include "gsm/arfcn_page.h"
#include "support/form_table_check.h"

namespace vexa {
namespace {

TEST(FormTables, DriveThePageAndTheCommandLine) {
  const ArfcnPage arfcn;
  testing::CheckFormTable<ArfcnForm>("gsm", arfcn, arfcn.Form(), kArfcnFields);
}

}  // namespace
}  // namespace vexa
