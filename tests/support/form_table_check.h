// Checks that a form's field table drives both the page and vexa-cli: every entry names a
// field or label of the page; every key is listed by `vexa-cli PAGE --help`, takes a value and
// prints it back; the printed texts, shown through the table's binding, stand in the widgets,
// and what stands in the entry fields reads back into the model.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <map>
#include <span>
#include <sstream>
#include <string>

#include "core/form_fields.h"
#include "support/run_process.h"
#include "ui/form_binding.h"

namespace vexa::testing {

inline std::map<std::string, std::string> PrintedFields(const std::string& out) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos)
      fields[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return fields;
}

inline QString WidgetText(const QWidget* widget) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
    return edit->text();
  if (const auto* label = qobject_cast<const QLabel*>(widget))
    return label->text();
  return QStringLiteral("<neither a field nor a label>");
}

// `page` is the page as built; `form` a model to show through the binding (a copy of the
// page's own).
template <typename Form>
void CheckFormTable(const char* cli_page, const QWidget& page, Form form,
                    std::span<const FormField<Form>> fields) {
  SCOPED_TRACE(cli_page);
  const std::string cli = std::string("LC_ALL=C '") + VEXA_CLI_PATH + "' " + cli_page;
  const ProcessResult help = RunProcess(cli + " --help");
  ASSERT_EQ(help.exit_code, 0);

  // Every key at once, each with its own value (blanks and digits, as typed).
  std::string args;
  std::map<std::string, std::string> typed;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].use == FieldUse::kKey) {
      typed[fields[i].key] = "v" + std::to_string(i) + " 1.5";
      args += std::string(" --") + fields[i].key + " '" + typed[fields[i].key] + "'";
    }
  }
  const ProcessResult run = RunProcess(cli + args);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto printed = PrintedFields(run.out);

  for (const FormField<Form>& field : fields) {
    SCOPED_TRACE(field.control);
    const auto* widget = page.findChild<QWidget*>(QLatin1String(field.control));
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QLabel*>(widget));
    if (field.use == FieldUse::kWindow)
      continue;
    EXPECT_EQ(help.out.find(std::string("--") + field.key + " ") != std::string::npos,
              field.use == FieldUse::kKey)
        << field.key;
    ASSERT_EQ(printed.count(field.key), 1u) << field.key;
    if (field.use == FieldUse::kKey) {
      EXPECT_EQ(printed.at(field.key), typed.at(field.key));
    }
    form.*field.text = printed.at(field.key);
  }

  // The printed texts, shown through the table, stand in the page's widgets; an entry field
  // reads back what it shows.
  FormBinding<Form> binding;
  binding.Bind(&page, fields);
  binding.Show(form);
  Form read = form;
  for (const FormField<Form>& field : fields) {
    if (field.use == FieldUse::kWindow)
      continue;
    const auto* widget = page.findChild<QWidget*>(QLatin1String(field.control));
    EXPECT_EQ(WidgetText(widget).toStdString(), printed.at(field.key)) << field.control;
    read.*field.text = "stale";
  }
  binding.Read(read);
  for (const FormField<Form>& field : fields) {
    const auto* widget = page.findChild<QWidget*>(QLatin1String(field.control));
    if (field.use != FieldUse::kWindow && qobject_cast<const QLineEdit*>(widget)) {
      EXPECT_EQ(read.*field.text, printed.at(field.key)) << field.control;
    }
  }
}

}  // namespace vexa::testing
