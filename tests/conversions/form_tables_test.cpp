// The TRANS page and `vexa-cli trans` bind through the form's table.
#include <gtest/gtest.h>

#include "conversions/trans_page.h"
#include "support/form_table_check.h"

namespace vexa {
namespace {

TEST(FormTables, DriveThePageAndTheCommandLine) {
  const TransPage trans;
  testing::CheckFormTable<TransForm>("trans", trans, trans.Form(), kTransFields);
}

}  // namespace
}  // namespace vexa
