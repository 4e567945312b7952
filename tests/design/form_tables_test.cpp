// The FILTER page and `vexa-cli filter` bind through the form's table.
#include <gtest/gtest.h>

#include "design/filter_page.h"
#include "support/form_table_check.h"

namespace vexa {
namespace {

TEST(FormTables, DriveThePageAndTheCommandLine) {
  const FilterPage filter;
  testing::CheckFormTable<FilterForm>("filter", filter, filter.Form(), kFilterFields);
}

}  // namespace
}  // namespace vexa
