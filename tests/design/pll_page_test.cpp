// The PLL page on the real widgets of the main window.
#include "design/pll_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QFontInfo>
#include <QLineEdit>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/dialog_recorder.h"

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

class PllPageTest : public ::testing::Test {
 protected:
  PllPageTest() : page(form.TabSheet12) {}

  QString Cell(const char* key) {
    const int row = page->ValueListEditor1->FindRow(key);
    EXPECT_GE(row, 0) << key;
    return QString::fromStdString(page->ValueListEditor1->Value(row));
  }
  void SetCell(const char* key, const char* text) {
    page->ValueListEditor1->SetValue(page->ValueListEditor1->FindRow(key), text);
  }
  // Every row of the list against the form model's.
  void ExpectListShows(const PllForm& expected) {
    ASSERT_EQ(page->ValueListEditor1->rowCount(),
              static_cast<int>(expected.ValueListEditor1.size()));
    for (int row = 0; row < page->ValueListEditor1->rowCount(); ++row) {
      const ValueListRow& want = expected.ValueListEditor1[static_cast<std::size_t>(row)];
      EXPECT_EQ(page->ValueListEditor1->Key(row), want.key);
      EXPECT_EQ(page->ValueListEditor1->Value(row), want.value) << want.key;
    }
  }
  QList<QLineSeries*> Series() {
    QList<QLineSeries*> found;
    for (QAbstractSeries* series : page->Chart2->series())
      found.append(qobject_cast<QLineSeries*>(series));
    return found;
  }

  DialogRecorder dialogs;
  TForm1 form;
  PllPage* page;
};

TEST_F(PllPageTest, StartUpShowsTheListTheSchematicAndAnEmptyChart) {
  EXPECT_EQ(page->objectName(), "TabSheet12");
  Messages messages;
  const PllForm start(messages);
  ExpectListShows(start);
  EXPECT_EQ(Cell("Kphi mA"), "5");
  EXPECT_EQ(Cell("C2 nF"), "100.0");
  EXPECT_EQ(Cell("Zeta"), "");
  // Keys and the separator row are fixed; values are typed in place.
  const int separator = page->ValueListEditor1->FindRow(kPllSeparatorKey);
  ASSERT_EQ(separator, 13);
  EXPECT_FALSE(page->ValueListEditor1->item(separator, 1)->flags() & Qt::ItemIsEditable);
  EXPECT_FALSE(page->ValueListEditor1->item(0, 0)->flags() & Qt::ItemIsEditable);
  EXPECT_TRUE(page->ValueListEditor1->item(0, 1)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(page->Button6->text(), "Calc");

  EXPECT_EQ(page->Label65->text().toStdString(), kPllSchematic);
  EXPECT_EQ(page->Label65->text().count(QLatin1Char('\n')), 8);
  EXPECT_TRUE(page->Label65->text().startsWith(QStringLiteral("____1/R____K\u03c6___")));
  EXPECT_TRUE(QFontInfo(page->Label65->font()).fixedPitch());

  EXPECT_TRUE(page->Chart2->series().isEmpty());
  EXPECT_EQ(page->Chart2->title(), "");
  EXPECT_FALSE(page->Chart2->legend()->isVisible());
  EXPECT_EQ(page->BottomAxis->titleText(), "time us");
  EXPECT_EQ(page->LeftAxis->titleText(), "freq MHz");

  const QList<QWidget*> controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (qsizetype i = 0; i < controls.size(); ++i) {
    EXPECT_TRUE(page->rect().contains(controls[i]->geometry()))
        << controls[i]->objectName().toStdString();
    for (qsizetype j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
          << controls[i]->objectName().toStdString() << " covers "
          << controls[j]->objectName().toStdString();
  }
}

// Calc with a value still being typed in its cell: the cell's text counts, the list shows the
// form's results and the chart its three series.
TEST_F(PllPageTest, CalcTakesTheTypedCellWritesTheResultsAndDrawsTheTransient) {
  form.PageControl1->setCurrentWidget(page);
  form.show();
  QApplication::processEvents();
  const int row = page->ValueListEditor1->FindRow("C2 nF");
  page->ValueListEditor1->setCurrentCell(row, 1);
  page->ValueListEditor1->editItem(page->ValueListEditor1->item(row, 1));
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("80"));
  QTest::mouseClick(page->Button6, Qt::LeftButton);

  Messages messages;
  PllForm expected(messages);
  expected.SetValue("C2 nF", "80");
  expected.Button6Click();
  ASSERT_FALSE(expected.Chart2.series.empty());
  ExpectListShows(expected);
  EXPECT_EQ(Cell("N"), "4500");
  EXPECT_TRUE(dialogs.boxes.empty());

  const QList<QLineSeries*> series = Series();
  ASSERT_EQ(series.size(), 3);
  const QColor grey(128, 128, 128);
  const std::vector<QColor> colors{grey, grey, QColor(Qt::red)};
  const QStringList names{"Upper", "Lower", "Response"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(series[i]->objectName(), names[i]);
    const ChartSeries& want = expected.Chart2.series[static_cast<std::size_t>(i)];
    EXPECT_EQ(series[i]->pen().color(), colors[static_cast<std::size_t>(i)]) << i;
    EXPECT_FALSE(series[i]->pointsVisible());
    ASSERT_EQ(series[i]->count(), static_cast<qsizetype>(want.points.size()));
    EXPECT_EQ(series[i]->at(series[i]->count() - 1),
              QPointF(want.points.back().x, want.points.back().y));
  }
  EXPECT_GT(series[2]->count(), 4900);
  EXPECT_EQ(series[2]->at(0), QPointF(0, 900));
  EXPECT_DOUBLE_EQ(page->BottomAxis->max(), expected.Chart2.series[2].points.back().x);
}

TEST_F(PllPageTest, AZetaOfOneOrMoreAndABadF2KeepTheChart) {
  QTest::mouseClick(page->Button6, Qt::LeftButton);
  const qsizetype points = Series().value(2)->count();
  const QString zeta = Cell("Zeta");

  SetCell("C2 nF", "1000");  // T2 ten times larger: ζ well above 1
  QTest::mouseClick(page->Button6, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(QString::fromLatin1(kZetaMessage))});
  EXPECT_NE(Cell("Zeta"), zeta);
  EXPECT_GE(Cell("Zeta").toDouble(), 1);
  ASSERT_EQ(Series().size(), 3);
  EXPECT_EQ(Series()[2]->count(), points);

  // "F2 MHz" is read after the crossover: the results up to Gamma change, ωn and ζ do not.
  SetCell("C2 nF", "100.0");
  SetCell("C1 nF", "4.7");
  SetCell("F2 MHz", "95O");
  const QString before = Cell("wn radian/s");
  QTest::mouseClick(page->Button6, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'95O' is not a valid floating point value.")});
  EXPECT_EQ(Cell("A0 nF"), "105.134");
  EXPECT_EQ(Cell("wn radian/s"), before);
  EXPECT_EQ(Series()[2]->count(), points);
}

}  // namespace
}  // namespace vexa
