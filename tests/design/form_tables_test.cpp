// The FILTER and PLL pages and `vexa-cli filter|pll` bind through the forms' tables.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "design/filter_page.h"
#include "design/pll_page.h"
#include "design/value_list_binding.h"
#include "support/form_table_check.h"

namespace vexa {
namespace {

TEST(FormTables, DriveThePageAndTheCommandLine) {
  const FilterPage filter;
  testing::CheckFormTable<FilterForm>("filter", filter, filter.Form(), kFilterFields);
}

// The PLL list's table: the page's list holds its rows in order with their start values;
// `vexa-cli pll --help` lists every key with its start value and caption, and every key set
// on the command line prints back; the page's list reads its editable rows into the model and
// shows the model's values.
TEST(FormTables, PllListDrivesThePageAndTheCommandLine) {
  PllPage pll;
  ValueListEditor& list = *pll.ValueListEditor1;
  ASSERT_EQ(list.rowCount(), static_cast<int>(std::size(kPllFields)));
  const std::string cli = std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' pll";
  const testing::ProcessResult help = testing::RunProcess(cli + " --help");
  ASSERT_EQ(help.exit_code, 0);

  std::string args;
  std::vector<std::string> typed;
  for (int i = 0; i < list.rowCount(); ++i) {
    const ValueListField& field = kPllFields[i];
    SCOPED_TRACE(field.key);
    EXPECT_EQ(list.Key(i), field.key);
    EXPECT_EQ(list.Value(i), field.start);
    typed.push_back("v" + std::to_string(i) + " 1.5");
    if (field.key == std::string_view(kPllSeparatorKey))
      continue;
    const std::string start = *field.start ? std::string(" [") + field.start + "]" : "";
    EXPECT_NE(help.out.find(std::string("\n  \"") + field.key + "=TEXT\"" + start + "\n      " +
                            field.caption + "\n"),
              std::string::npos);
    args += " '" + std::string(field.key) + "=" + typed.back() + "'";
  }
  const testing::ProcessResult run = testing::RunProcess(cli + args);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string expected;
  for (int i = 0; i < list.rowCount(); ++i) {
    if (kPllFields[i].key != std::string_view(kPllSeparatorKey))
      expected += std::string(kPllFields[i].key) + "=" + typed[static_cast<std::size_t>(i)] + "\n";
  }
  EXPECT_EQ(run.out, expected);

  // What stands in the list reads into the model, the separator's cell aside.
  std::vector<ValueListRow> rows = pll.Form().ValueListEditor1;
  for (int i = 0; i < list.rowCount(); ++i)
    list.SetValue(i, typed[static_cast<std::size_t>(i)]);
  ReadRows(list, rows);
  for (int i = 0; i < list.rowCount(); ++i) {
    const bool separator = kPllFields[i].key == std::string_view(kPllSeparatorKey);
    EXPECT_EQ(rows[static_cast<std::size_t>(i)].value,
              separator ? "" : typed[static_cast<std::size_t>(i)])
        << kPllFields[i].key;
  }
  // The model's values stand in the list's rows.
  rows = DesignRows(kPllFields);
  ShowRows(list, rows);
  for (int i = 0; i < list.rowCount(); ++i)
    EXPECT_EQ(list.Value(i), kPllFields[i].start) << kPllFields[i].key;
}

}  // namespace
}  // namespace vexa
