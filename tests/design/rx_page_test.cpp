// The RX page on the real widgets of the main window.
#include "design/rx_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "design/lineup_csv.h"
#include "support/dialog_recorder.h"
#include "support/hostile_paths.h"
#include "support/text_files.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::DialogRecorder;
using testing::ErrorBox;
using testing::MessageBox;

class Messages : public FormMessages {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class RxPageTest : public ::testing::Test {
 protected:
  RxPageTest() : page(form.TabSheet6) {}

  QString Cell(int row, int column) {
    const QTableWidgetItem* cell = page->StringGrid1->item(row, column);
    return cell ? cell->text() : QString();
  }
  QString Analysis(const char* key) {
    return QString::fromStdString(
        page->ValueListEditor3->Value(page->ValueListEditor3->FindRow(key)));
  }
  // The grid and both lists against a form model.
  void ExpectShows(const RxForm& expected) {
    ASSERT_EQ(page->StringGrid1->columnCount(), expected.ColumnCount());
    for (int column = 0; column < expected.ColumnCount(); ++column) {
      for (int row = 0; row < kRxRowCount; ++row)
        EXPECT_EQ(
            Cell(row, column).toStdString(),
            expected.StringGrid1[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)])
            << column << "," << row;
    }
    for (const ValueListRow& row : expected.ValueListEditor3)
      EXPECT_EQ(Analysis(row.key.c_str()).toStdString(), row.value) << row.key;
  }

  DialogRecorder dialogs;
  TForm1 form;
  RxPage* page;
};

TEST_F(RxPageTest, StartUpShowsTheTableTheListsAndEveryControl) {
  EXPECT_EQ(page->objectName(), "TabSheet6");
  Messages messages;
  const RxForm start(messages);
  ExpectShows(start);
  EXPECT_EQ(Cell(0, 1), "Stage 1");
  EXPECT_EQ(Cell(1, 1), "Duplexer");
  EXPECT_EQ(Cell(14, 0), "dIP3/dIP3");
  EXPECT_EQ(page->StringGrid1->columnWidth(3), 72);
  EXPECT_EQ(page->StringGrid1->rowHeight(3), 15);
  EXPECT_FALSE(page->StringGrid1->item(0, 2)->flags() & Qt::ItemIsEditable);
  EXPECT_TRUE(page->StringGrid1->item(2, 2)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(page->LabeledEdit13->EditLabel()->text(), "Stages");
  EXPECT_EQ(page->LabeledEdit13->text(), "7");
  EXPECT_EQ(page->ValueListEditor2->horizontalHeaderItem(0)->text(), "System Parameters");
  EXPECT_EQ(page->ValueListEditor3->horizontalHeaderItem(0)->text(), "System Analysis");
  EXPECT_EQ(page->ValueListEditor3->horizontalHeaderItem(1)->text(), "Value");
  EXPECT_EQ(page->ValueListEditor2->Value(2), "1");
  EXPECT_EQ(page->BitBtn4->text(), "");
  EXPECT_FALSE(page->BitBtn4->icon().isNull());

  const QList<QWidget*> controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (qsizetype i = 0; i < controls.size(); ++i) {
    if (controls[i]->isWindow())
      continue;
    EXPECT_TRUE(page->rect().contains(controls[i]->geometry()))
        << controls[i]->objectName().toStdString();
    for (qsizetype j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
          << controls[i]->objectName().toStdString() << " covers "
          << controls[j]->objectName().toStdString();
  }
}

// A value typed into a cell (the edit still open) and into the parameters counts; the page
// shows what the form model computes from the same texts.
TEST_F(RxPageTest, TheAnalysisUsesTheTypedCellsAndShowsTheModelsResults) {
  form.PageControl1->setCurrentWidget(page);
  form.show();
  QApplication::processEvents();
  page->StringGrid1->setCurrentCell(2, 2);
  page->StringGrid1->editItem(page->StringGrid1->item(2, 2));
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("1.5"));
  page->ValueListEditor2->SetValue(2, "2");  // Noise BW MHz
  QTest::mouseClick(page->BitBtn4, Qt::LeftButton);

  Messages messages;
  RxForm expected(messages);
  expected.StringGrid1[2][2] = "1.5";
  expected.SetParameter("Noise BW MHz", "2");
  expected.BitBtn4Click();
  ExpectShows(expected);
  EXPECT_EQ(Analysis("Gain dB"), "82.5");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(RxPageTest, StageCountAndItsErrors) {
  QTest::mouseClick(page->BitBtn4, Qt::LeftButton);
  const QString gain = Analysis("Gain dB");
  page->LabeledEdit13->setText(QStringLiteral("50"));
  QTest::keyClick(page->LabeledEdit13, Qt::Key_Return);
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox("stages should between 1 and 49")});
  EXPECT_EQ(page->StringGrid1->columnCount(), 8);

  page->LabeledEdit13->setText(QStringLiteral("9"));
  QTest::keyClick(page->LabeledEdit13, Qt::Key_Return);
  EXPECT_EQ(page->StringGrid1->columnCount(), 10);
  EXPECT_EQ(Cell(0, 9), "Stage 9");
  EXPECT_EQ(Cell(2, 9), "");
  // The new stages' empty cells stop the analysis before anything is written.
  page->ValueListEditor2->SetValue(0, "-40");
  QTest::mouseClick(page->BitBtn4, Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.Take().front().kind, testing::RecordedBox::kError);
  EXPECT_EQ(Analysis("Gain dB"), gain);
  EXPECT_EQ(Cell(10, 8), "");
}

// Save a line-up, change the page, open it again: the table and the parameters come back;
// the results export as CSV; the chart window shows one bar per stage.
TEST_F(RxPageTest, LineUpFilesExportAndChart) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("lineup.csv"));
  page->StringGrid1->item(1, 2)->setText(QStringLiteral("LNA, low noise"));
  ASSERT_TRUE(page->SaveLineup(path));
  page->LabeledEdit13->setText(QStringLiteral("2"));
  QTest::keyClick(page->LabeledEdit13, Qt::Key_Return);
  page->ValueListEditor2->SetValue(0, "-60");
  ASSERT_TRUE(page->OpenLineup(path));
  EXPECT_EQ(page->StringGrid1->columnCount(), 8);
  EXPECT_EQ(Cell(1, 2), "LNA, low noise");
  EXPECT_EQ(page->ValueListEditor2->Value(0), "-50");
  EXPECT_EQ(page->LabeledEdit13->text(), "7");

  const QString broken = dir.filePath(QStringLiteral("broken.csv"));
  testing::WriteFile(broken.toStdString(), "Stage,Name\n");
  EXPECT_FALSE(page->OpenLineup(broken));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_TRUE(dialogs.Take().front().text.startsWith(QStringLiteral("broken.csv: line 1:")));
  EXPECT_EQ(page->StringGrid1->columnCount(), 8);

  QTest::mouseClick(page->BitBtn4, Qt::LeftButton);
  const QString results = dir.filePath(QStringLiteral("results.csv"));
  ASSERT_TRUE(page->ExportResults(results));
  EXPECT_EQ(testing::ReadFile(results.toStdString()), page->Form().ResultsCsv());

  QTest::mouseClick(page->ChartButton, Qt::LeftButton);
  RxChartWindow* chart = page->ChartWindow();
  ASSERT_NE(chart, nullptr);
  EXPECT_TRUE(chart->isVisible());
  ASSERT_NE(chart->GainSet(), nullptr);
  ASSERT_EQ(chart->GainSet()->count(), 7);
  EXPECT_DOUBLE_EQ(chart->GainSet()->at(0), -3.8);
  EXPECT_NEAR(chart->GainSet()->at(6), 82.5, 1e-9);
  EXPECT_NEAR(chart->NfSet()->at(0), 3.8, 1e-9);
  EXPECT_NEAR(chart->NfSet()->at(6), Analysis("NF dB").toDouble(), 1e-9);
  chart->close();
}

// "Open..." on paths that are no ordinary file: one message at once, and nothing loaded.
TEST_F(RxPageTest, OpenRefusesPathsThatAreNoOrdinaryFile) {
  testing::HostilePaths paths;
  ASSERT_TRUE(paths.ok());
  struct Case {
    std::string path;
    QString message;  // "{}" for the path
  };
  const std::string large = paths.Oversized(".csv", kLineupMaxFileBytes + 1);
  const Case cases[] = {
      {paths.Folder(".csv"), QStringLiteral("\"{}\" is a directory")},
      {paths.Fifo(".csv"), QStringLiteral("\"{}\" is not a regular file")},
      {paths.EndlessDevice(".csv"), QStringLiteral("\"{}\" is not a regular file")},
      {large, QStringLiteral("large.csv: the file is larger than 1 MiB")},
      {paths.UnderAFile(".csv"), QStringLiteral("Cannot open \"{}\": Not a directory")},
      {paths.Utf16(".csv", "Stage,Name\r\n"),
       QStringLiteral("\"{}\" is UTF-16 text; it must be saved as UTF-8")},
  };
  page->LabeledEdit13->setText(QStringLiteral("2"));
  QTest::keyClick(page->LabeledEdit13, Qt::Key_Return);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    dialogs.file_names = {QString::fromStdString(c.path)};
    QTest::mouseClick(page->OpenButton, Qt::LeftButton);
    QString message = c.message;
    message.replace(QStringLiteral("{}"), QString::fromStdString(c.path));
    EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(message)});
    EXPECT_EQ(page->StringGrid1->columnCount(), 3);
  }
}

}  // namespace
}  // namespace vexa
