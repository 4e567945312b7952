// The MATCH and SMITH pages and `vexa-cli match|smith` bind through the forms' tables.
#include <gtest/gtest.h>

#include "matching/match_page.h"
#include "matching/smith_page.h"
#include "support/form_table_check.h"

namespace vexa {
namespace {

TEST(FormTables, DriveThePageAndTheCommandLine) {
  const MatchPage match;
  testing::CheckFormTable<MatchForm>("match", match, match.Form(), kMatchFields);
  const SmithPage smith;
  testing::CheckFormTable<SmithForm>("smith", smith, smith.Form(), kSmithFields);
}

}  // namespace
}  // namespace vexa
