// The FILTER page on the real widgets of the main window.
#include "design/filter_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/dialog_recorder.h"
#include "support/text_files.h"

namespace vexa {
namespace {

using testing::Boxes;
using testing::DialogRecorder;
using testing::ErrorBox;
using testing::MessageBox;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// A second form model run beside the page: the page must show exactly what it computes.
class Messages : public FormMessages {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class FilterPageTest : public ::testing::Test {
 protected:
  FilterPageTest() : page(form.TabSheet9) {}

  // The attenuation curve: the chart's one data series (the tolerance guides aside).
  QLineSeries* OnlySeries() { return Named(QStringLiteral("Curve"), 1).value(0); }

  QList<QLineSeries*> Named(const QString& name, qsizetype expected) {
    QList<QLineSeries*> found;
    for (QAbstractSeries* series : page->Chart1->series()) {
      if (series->objectName() == name)
        found.append(qobject_cast<QLineSeries*>(series));
    }
    EXPECT_EQ(found.size(), expected) << name.toStdString();
    return found;
  }

  void Enter(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
  }

  DialogRecorder dialogs;
  TForm1 form;
  FilterPage* page;
};

TEST_F(FilterPageTest, StartUpShowsEveryControlAndAnEmptyFlatChart) {
  EXPECT_EQ(page->objectName(), "TabSheet9");
  EXPECT_EQ(page->ComboBox6->count(), 3);
  EXPECT_EQ(page->ComboBox6->itemText(0), "Butterworth");
  EXPECT_EQ(page->ComboBox6->itemText(2), "Bessel");
  EXPECT_EQ(page->ComboBox6->currentText(), "Chebyshev");
  const std::vector<std::tuple<LabeledEdit*, const char*, const char*>> edits = {
      {page->LabeledEdit1, "fp <= MHz", "3"},  {page->LabeledEdit2, "fs >= MHz", "12"},
      {page->LabeledEdit3, "ap <= dB", "0.1"}, {page->LabeledEdit4, "as >= dB", "60"},
      {page->LabeledEdit5, "N", ""},           {page->LabeledEdit6, "Min X MHz", ""},
      {page->LabeledEdit7, "Max X MHz", ""},   {page->LabeledEdit8, "Min Y dB", ""},
      {page->LabeledEdit9, "Max Y dB", ""}};
  for (const auto& [edit, caption, text] : edits) {
    EXPECT_EQ(edit->EditLabel()->text(), caption) << edit->objectName().toStdString();
    EXPECT_EQ(edit->text(), text) << edit->objectName().toStdString();
  }
  EXPECT_EQ(page->RadioButton5->text(), "ap preferred");
  EXPECT_TRUE(page->RadioButton5->isChecked());
  EXPECT_EQ(page->RadioButton6->text(), "as preferred");
  EXPECT_FALSE(page->RadioButton6->isChecked());
  EXPECT_EQ(page->CheckBox1->text(), "show pass band ");
  EXPECT_FALSE(page->CheckBox1->isChecked());
  EXPECT_EQ(page->Button4->text(), "Calc");

  EXPECT_EQ(page->Chart1->title(), "LPF");
  EXPECT_EQ(page->Chart1->titleBrush().color(), QColor(Qt::red));
  EXPECT_EQ(page->Chart1->titleFont().family(), "Arial");
  EXPECT_FALSE(page->Chart1->legend()->isVisible());
  EXPECT_TRUE(page->Chart1->series().isEmpty());
  EXPECT_EQ(page->BottomAxis->titleText(), "freq MHz");
  EXPECT_EQ(page->BottomAxis->base(), 10);
  EXPECT_EQ(page->Chart1->axes(Qt::Horizontal), QList<QAbstractAxis*>{page->BottomAxis});
  EXPECT_EQ(page->LeftAxis->titleText(), "Alpha dB");

  // Every control, caption included, on the sheet and clear of the others.
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

// Each family through the page against the same design in a form model of its own.
TEST_F(FilterPageTest, CalcShowsTheOrderAndTheRedCurveOfEachFamily) {
  struct Case {
    int family;
    bool as_preferred;
    bool pass_band;
    const char* n;
    const char* title;
  };
  const Case cases[] = {{1, false, false, "5", "Chebyshev LPF"},
                        {0, true, false, "7", "Butterworth LPF"},
                        {0, false, true, "7", "Butterworth LPF"},
                        {2, false, false, "8", "Bessel LPF"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    page->ComboBox6->setCurrentIndex(c.family);
    Messages messages;
    FilterForm expected(messages);
    expected.ComboBox6 = c.family;
    expected.ComboBox6Change();
    const bool bessel = c.family == 2;
    EXPECT_EQ(page->RadioButton5->isEnabled(), !bessel);
    EXPECT_EQ(page->CheckBox1->isEnabled(), !bessel);
    EXPECT_EQ(page->LabeledEdit3->EditLabel()->text(), bessel ? "Max tol. %" : "ap <= dB");
    EXPECT_EQ(page->LabeledEdit4->EditLabel()->text(), bessel ? "T0 us" : "as >= dB");
    EXPECT_EQ(page->LabeledEdit1->text(), Text(expected.LabeledEdit1));
    EXPECT_EQ(page->LabeledEdit2->text(), Text(expected.LabeledEdit2));
    if (!bessel) {
      QTest::mouseClick(c.as_preferred ? page->RadioButton6 : page->RadioButton5, Qt::LeftButton);
      page->CheckBox1->setChecked(c.pass_band);
      expected.CheckApPreferred(!c.as_preferred);
      expected.CheckBox1 = c.pass_band;
    }
    expected.Button4Click();
    QTest::mouseClick(page->Button4, Qt::LeftButton);

    EXPECT_EQ(page->LabeledEdit5->text(), c.n);
    EXPECT_EQ(page->Chart1->title(), c.title);
    EXPECT_FALSE(page->Chart1->legend()->isVisible());
    QLineSeries* series = OnlySeries();
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(series->pen().color(), QColor(Qt::red));
    EXPECT_FALSE(series->pointsVisible());
    // The logarithmic axis shows every point above 0 MHz (the Bessel sweep starts at 0).
    AttenuationCurve curve;
    for (const CurvePoint& point : expected.Chart1.series.front().points) {
      if (point.x > 0)
        curve.push_back(point);
    }
    EXPECT_EQ(curve.size() + (bessel ? 1 : 0), expected.Chart1.series.front().points.size());
    ASSERT_EQ(series->count(), static_cast<qsizetype>(curve.size()));
    EXPECT_GT(series->count(), 1000);
    EXPECT_EQ(series->at(0), QPointF(curve.front().x, curve.front().y));
    EXPECT_EQ(series->at(series->count() - 1), QPointF(curve.back().x, curve.back().y));
    EXPECT_EQ(series->attachedAxes().size(), 2);
    EXPECT_DOUBLE_EQ(page->BottomAxis->max(), curve.back().x);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FilterPageTest, AxisFieldsSetLimitsOnEnterUntilTheNextCalc) {
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  Enter(page->LabeledEdit7, QStringLiteral("10"));
  Enter(page->LabeledEdit6, QStringLiteral("0.1"));
  Enter(page->LabeledEdit8, QStringLiteral("-5"));
  Enter(page->LabeledEdit9, QStringLiteral("100"));
  EXPECT_DOUBLE_EQ(page->BottomAxis->min(), 0.1);
  EXPECT_DOUBLE_EQ(page->BottomAxis->max(), 10);
  EXPECT_DOUBLE_EQ(page->LeftAxis->min(), -5);
  EXPECT_DOUBLE_EQ(page->LeftAxis->max(), 100);
  EXPECT_FALSE(page->Form().Chart1.bottom.automatic);

  // Typing alone sets nothing; a bad text is an error and leaves the limit.
  page->LabeledEdit9->setText(QStringLiteral("50"));
  EXPECT_DOUBLE_EQ(page->LeftAxis->max(), 100);
  Enter(page->LabeledEdit9, QStringLiteral("x"));
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'x' is not a valid floating point value.")});
  EXPECT_DOUBLE_EQ(page->LeftAxis->max(), 100);

  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_TRUE(page->Form().Chart1.bottom.automatic);
  EXPECT_DOUBLE_EQ(page->BottomAxis->max(), 15);
  EXPECT_LT(page->LeftAxis->max(), 100);
}

TEST_F(FilterPageTest, RefusedAndUnconvertibleSchemesKeepThePreviousResult) {
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  ASSERT_EQ(page->LabeledEdit5->text(), "5");
  const qsizetype points = OnlySeries()->count();

  page->LabeledEdit2->setText(QStringLiteral("2"));  // fs below fp
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(QString::fromLatin1(kEdgeOrderMessage))});
  page->LabeledEdit2->setText(QStringLiteral("12a"));
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{ErrorBox("'12a' is not a valid floating point value.")});
  EXPECT_EQ(page->LabeledEdit5->text(), "5");
  EXPECT_EQ(page->Chart1->title(), "Chebyshev LPF");
  EXPECT_EQ(OnlySeries()->count(), points);
}

// The scheme's bounds as dashed lines: A <= ap up to fp, A >= as from fs on; none for Bessel,
// and only the pass-band bound when the curve ends at fp.
TEST_F(FilterPageTest, ToleranceGuidesShowTheSchemeAgainstTheCurve) {
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  const QList<QLineSeries*> guides = Named(QStringLiteral("Tolerance"), 2);
  ASSERT_EQ(guides.size(), 2);
  const QLineSeries* curve = OnlySeries();
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(guides[0]->points(), (QList<QPointF>{{curve->at(0).x(), 0.1}, {3, 0.1}, {3, 60}}));
  EXPECT_EQ(guides[1]->points(),
            (QList<QPointF>{{12, 0}, {12, 60}, {curve->at(curve->count() - 1).x(), 60}}));
  for (const QLineSeries* guide : guides) {
    EXPECT_EQ(guide->pen().style(), Qt::DashLine);
    EXPECT_NE(guide->pen().color(), QColor(Qt::red));
  }
  // The data the user exports is the curve alone, after its header line; the chart's "Save
  // points as CSV..." writes just that.
  const std::string csv = page->Form().CurveCsv();
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), curve->count() + 1);
  EXPECT_TRUE(csv.starts_with("f_mhz,attenuation_db\n")) << csv.substr(0, 40);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString saved = dir.filePath(QStringLiteral("lpf.csv"));
  ASSERT_EQ(page->Chart1View->SaveCsv(saved), 0);
  EXPECT_EQ(testing::ReadFile(saved.toStdString()), csv);

  page->CheckBox1->setChecked(true);
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  Named(QStringLiteral("Tolerance"), 1);
  page->ComboBox6->setCurrentIndex(2);
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  Named(QStringLiteral("Tolerance"), 0);
  Named(QStringLiteral("Curve"), 1);
}

// A zoom by wheel holds until the next Calc, which shows the whole curve again.
TEST_F(FilterPageTest, CalcUndoesTheZoomARefusedCalcDoesNot) {
  form.PageControl1->setCurrentWidget(page);
  form.show();
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  QApplication::processEvents();
  const double low = page->BottomAxis->min();
  const double high = page->BottomAxis->max();
  page->Chart1View->ZoomAt(page->Chart1View->rect().center(), 4);
  EXPECT_TRUE(page->Chart1->isZoomed());
  EXPECT_LT(page->BottomAxis->max() / page->BottomAxis->min(), high / low / 10);
  // A refused scheme leaves the chart as it was, zoom included.
  page->LabeledEdit2->setText(QStringLiteral("2"));
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(QString::fromLatin1(kEdgeOrderMessage))});
  EXPECT_TRUE(page->Chart1->isZoomed());
  page->LabeledEdit2->setText(QStringLiteral("12"));
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_FALSE(page->Chart1->isZoomed());
  EXPECT_DOUBLE_EQ(page->BottomAxis->min(), low);
  EXPECT_DOUBLE_EQ(page->BottomAxis->max(), high);
}

TEST_F(FilterPageTest, TheBesselLimitShowsItsMessageOnceAndDrawsOrder60) {
  page->ComboBox6->setCurrentIndex(2);
  page->LabeledEdit4->setText(QStringLiteral("100"));
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_EQ(dialogs.Take(), Boxes{MessageBox(QString::fromLatin1(kBesselLimitMessage))});
  EXPECT_EQ(page->LabeledEdit5->text(), "60");
  EXPECT_EQ(page->Chart1->title(), "Bessel LPF");
}

TEST_F(FilterPageTest, AFamilyTextThatIsNoItemResetsToTheToleranceSchemeAndDrawsNothing) {
  page->ComboBox6->setCurrentIndex(2);
  ASSERT_FALSE(page->RadioButton5->isEnabled());
  page->ComboBox6->setEditText(QStringLiteral("Elliptic"));
  EXPECT_TRUE(page->RadioButton5->isEnabled());
  EXPECT_EQ(page->LabeledEdit3->EditLabel()->text(), "ap <= dB");
  EXPECT_EQ(page->LabeledEdit1->text(), "3");
  QTest::mouseClick(page->Button4, Qt::LeftButton);
  EXPECT_EQ(page->LabeledEdit5->text(), "");
  EXPECT_TRUE(page->Chart1->series().isEmpty());
  EXPECT_EQ(page->Chart1->title(), "LPF");
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace vexa
