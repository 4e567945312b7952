#include "design/rx_page.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cstring>

#include "core/convert.h"
#include "core/errors.h"
#include "core/file_reader.h"
#include "design/rx_chart.h"
#include "design/value_list_binding.h"
#include "ui/dialogs.h"
#include "ui/file_save.h"
#include "ui/form_widgets.h"
#include "ui/guard.h"

namespace vexa {
namespace {

constexpr int kListTop = 236;
constexpr int kListHeight = 118;

// The analysis button's picture: a chain of three stages with the signal running through,
// drawn here so it stays crisp on any screen.
QIcon CascadeIcon() {
  QPixmap picture(32, 32);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(30, 30, 30), 1.5));
  painter.drawLine(QPointF(1, 16), QPointF(31, 16));
  const QColor fills[] = {QColor(70, 130, 200), QColor(60, 160, 90), QColor(210, 120, 40)};
  for (int i = 0; i < 3; ++i) {
    const double left = 3 + i * 10;
    QPolygonF triangle;
    triangle << QPointF(left, 9) << QPointF(left + 8, 16) << QPointF(left, 23);
    painter.setBrush(fills[i]);
    painter.drawPolygon(triangle);
  }
  return QIcon(picture);
}

QTableWidgetItem* GridCell(const std::string& text, bool fixed) {
  auto* cell = new QTableWidgetItem(QString::fromStdString(text));
  if (fixed) {
    cell->setFlags(Qt::ItemIsEnabled);
    cell->setBackground(QColor(232, 232, 232));
  }
  return cell;
}

}  // namespace

// ---- the chart window ----

RxChartWindow::RxChartWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("RxChartWindow"));
  setWindowTitle(QStringLiteral("Line-up: gain and noise figure along the chain"));
  resize(640, 520);
  charts_ = new QWidget(this);
  auto* chart_layout = new QVBoxLayout(charts_);
  chart_layout->setContentsMargins(0, 0, 0, 0);
  const auto make_chart = [this, chart_layout](const QString& title, const QString& name) {
    auto* chart = new QChart;
    chart->setObjectName(name);
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->hide();
    auto* view = new QChartView(chart, charts_);
    view->setRenderHint(QPainter::Antialiasing);
    chart_layout->addWidget(view);
    return chart;
  };
  GainChart = make_chart(QString::fromUtf8(kRxGainChartTitle), QStringLiteral("GainChart"));
  NfChart = make_chart(QString::fromUtf8(kRxNfChartTitle), QStringLiteral("NfChart"));
  SavePng = new QPushButton(QStringLiteral("Save PNG..."), this);
  SavePng->setObjectName(QStringLiteral("SavePng"));
  connect(SavePng, &QPushButton::clicked, this, [this] {
    QString path = AppDialogs().AskSaveFileName(QStringLiteral("PNG image (*.png);;All (*)"));
    if (path.isEmpty())
      return;
    if (QFileInfo(path).suffix().isEmpty())
      path += QStringLiteral(".png");
    if (const int error = SavePngFile(charts_->grab(), path))
      AppDialogs().ShowMessage(
          QStringLiteral("Cannot save \"%1\": %2").arg(path, FileErrorText(error)));
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(charts_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(SavePng);
  layout->addLayout(buttons);
}

QBarSet* RxChartWindow::GainSet() const {
  const auto series = GainChart->series();
  return series.isEmpty() ? nullptr : static_cast<QBarSeries*>(series.front())->barSets().value(0);
}

QBarSet* RxChartWindow::NfSet() const {
  const auto series = NfChart->series();
  return series.isEmpty() ? nullptr : static_cast<QBarSeries*>(series.front())->barSets().value(0);
}

// Each stage's bar holds the analysis of the stages from the input up to it, at the page's
// parameters; a line-up whose cells or parameters are not all numbers shows no bars.
void RxChartWindow::ShowLineup(const RxForm& form) {
  ShowChart(MakeRxChart(form));
}

void RxChartWindow::ShowChart(const RxChart& chart) {
  QStringList names;
  for (const std::string& category : chart.categories)
    names << QString::fromStdString(category);
  const auto fill = [&chart, &names](QChart* view, const RxBarChart& bars) {
    view->setTitle(QString::fromStdString(bars.title));
    view->removeAllSeries();
    for (QAbstractAxis* axis : view->axes())
      view->removeAxis(axis);
    if (!chart.complete)
      return;
    auto* set = new QBarSet(QString::fromStdString(bars.set_name));
    set->setColor(QColor(bars.color & 0xFF, bars.color >> 8 & 0xFF, bars.color >> 16 & 0xFF));
    for (const double bar : bars.bars)
      *set << bar;
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPrecision(4);
    view->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    categories->append(names);
    view->addAxis(categories, Qt::AlignBottom);
    series->attachAxis(categories);
    auto* values = new QValueAxis;
    values->setRange(bars.values.minimum, bars.values.maximum);
    view->addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
  };
  fill(GainChart, chart.gain);
  fill(NfChart, chart.nf);
}

// ---- the page ----

RxPage::RxPage(QWidget* parent) : Page("TabSheet6", parent), form_(*this) {
  BuildControls();
  ShowForm();
  Connect();
}

void RxPage::FormCreate() {
  ShowForm();
}

void RxPage::BuildControls() {
  StringGrid1 = MakeFormWidget<EditableTable>(this, "StringGrid1", 4, 4);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setMinimumSectionSize(kRxRowHeight);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(kRxColumnWidth);
  StringGrid1->verticalHeader()->setMinimumSectionSize(kRxRowHeight);
  StringGrid1->verticalHeader()->setDefaultSectionSize(kRxRowHeight);
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->setWordWrap(false);
  StringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
  StringGrid1->setRowCount(kRxRowCount);
  for (int row = 0; row < kRxRowCount; ++row)
    StringGrid1->setRowHeight(row, kRxRowHeight);
  QFont small = StringGrid1->font();
  small.setPixelSize(11);
  StringGrid1->setFont(small);
  StringGrid1->resize(586, kRxRowCount * kRxRowHeight + 2 * StringGrid1->frameWidth() + 2);

  LabeledEdit13 = MakeLabeledEdit(this, "LabeledEdit13", QString::fromLatin1(kStagesCaption), 4,
                                  kListTop + 16, 60);
  LabeledEdit13->setToolTip(QStringLiteral("Number of stages, 1 to 49; Enter sets it"));

  ValueListEditor2 = MakeFormWidget<ValueListEditor>(this, "ValueListEditor2", 70, kListTop);
  ValueListEditor2->resize(196, kListHeight);
  ValueListEditor2->SetTitles(QString::fromLatin1(kRxParametersKeyTitle),
                              QString::fromLatin1(kRxValueTitle));
  ValueListEditor3 = MakeFormWidget<ValueListEditor>(this, "ValueListEditor3", 322, kListTop);
  ValueListEditor3->resize(194, kListHeight);
  ValueListEditor3->SetTitles(QString::fromLatin1(kRxAnalysisKeyTitle),
                              QString::fromLatin1(kRxValueTitle));
  const auto keys = [](const std::vector<ValueListRow>& rows) {
    std::vector<std::string> list;
    for (const ValueListRow& row : rows)
      list.push_back(row.key);
    return list;
  };
  ValueListEditor2->SetKeys(keys(form_.ValueListEditor2));
  ValueListEditor3->SetKeys(keys(form_.ValueListEditor3), keys(form_.ValueListEditor3));
  for (ValueListEditor* list : {ValueListEditor2, ValueListEditor3}) {
    list->verticalHeader()->setMinimumSectionSize(kRxRowHeight);
    list->verticalHeader()->setDefaultSectionSize(kRxRowHeight);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int row = 0; row < list->rowCount(); ++row)
      list->setRowHeight(row, kRxRowHeight);
    QFont font = list->font();
    font.setPixelSize(11);
    list->setFont(font);
  }

  BitBtn4 = MakeFormWidget<QPushButton>(this, "BitBtn4", 272, kListTop + 30);
  BitBtn4->setIcon(CascadeIcon());
  BitBtn4->setIconSize(QSize(32, 32));
  BitBtn4->resize(44, 44);
  BitBtn4->setToolTip(QStringLiteral("Analyse the line-up"));

  const auto button = [this](const char* name, const char* caption, int row, const char* tip) {
    auto* made = MakeFormWidget<QPushButton>(this, name, 520, kListTop + row * 30);
    made->setText(QString::fromUtf8(caption));
    made->resize(70, 26);
    made->setToolTip(QString::fromUtf8(tip));
    return made;
  };
  OpenButton = button("OpenButton", "Open...", 0, "Open a line-up (.csv)");
  SaveButton = button("SaveButton", "Save...", 1, "Save the stages and parameters (.csv)");
  ExportButton = button("ExportButton", "Export...", 2, "Save the analysis as CSV");
  ChartButton = button("ChartButton", "Chart...", 3,
                       "The gain and noise figure from the input up to each stage");
}

void RxPage::Connect() {
  LabeledEdit13->installEventFilter(this);
  connect(BitBtn4, &QPushButton::clicked, this, [this] {
    Handle([this] { form_.BitBtn4Click(); });
    if (chart_window_ && chart_window_->isVisible())
      chart_window_->ShowLineup(form_);
  });
  connect(OpenButton, &QPushButton::clicked, this, [this] {
    const QString path = AppDialogs().AskOpenFileName(QStringLiteral("Line-up (*.csv);;All (*)"));
    if (!path.isEmpty())
      OpenLineup(path);
  });
  connect(SaveButton, &QPushButton::clicked, this, [this] {
    QString path = AppDialogs().AskSaveFileName(QStringLiteral("Line-up (*.csv);;All (*)"));
    if (path.isEmpty())
      return;
    if (QFileInfo(path).suffix().isEmpty())
      path += QStringLiteral(".csv");
    SaveLineup(path);
  });
  connect(ExportButton, &QPushButton::clicked, this, [this] {
    QString path = AppDialogs().AskSaveFileName(QStringLiteral("CSV file (*.csv);;All (*)"));
    if (path.isEmpty())
      return;
    if (QFileInfo(path).suffix().isEmpty())
      path += QStringLiteral(".csv");
    ExportResults(path);
  });
  connect(ChartButton, &QPushButton::clicked, this, &RxPage::ShowChartWindow);
}

bool RxPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LabeledEdit13 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
      Handle([this] { form_.LabeledEdit13KeyDown(kEnterKey); });
  }
  return Page::eventFilter(watched, event);
}

void RxPage::Handle(const std::function<void()>& handler) {
  GuardedFormHandler([this] { ReadInput(); }, handler, [this] { ShowForm(); });
}

void RxPage::ReadInput() {
  StringGrid1->CommitEdit();
  form_.LabeledEdit13 = LabeledEdit13->text().toStdString();
  for (int column = 0; column < form_.ColumnCount() && column < StringGrid1->columnCount();
       ++column) {
    for (int row = 0; row < kRxRowCount; ++row) {
      if (const QTableWidgetItem* cell = StringGrid1->item(row, column))
        form_.StringGrid1[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)] =
            cell->text().toStdString();
    }
  }
  ReadRows(*ValueListEditor2, form_.ValueListEditor2);
}

void RxPage::ShowForm() {
  ShowEditText(LabeledEdit13, form_.LabeledEdit13);
  if (StringGrid1->columnCount() != form_.ColumnCount())
    StringGrid1->setColumnCount(form_.ColumnCount());
  for (int column = 0; column < form_.ColumnCount(); ++column) {
    const std::vector<std::string>& cells = form_.StringGrid1[static_cast<std::size_t>(column)];
    for (int row = 0; row < kRxRowCount; ++row) {
      const std::string& text = cells[static_cast<std::size_t>(row)];
      QTableWidgetItem* cell = StringGrid1->item(row, column);
      const bool fixed = column == 0 || row == kRxHeaderRow;
      if (!cell)
        StringGrid1->setItem(row, column, GridCell(text, fixed));
      else if (cell->text().toStdString() != text)
        cell->setText(QString::fromStdString(text));
    }
  }
  ShowRows(*ValueListEditor2, form_.ValueListEditor2);
  ShowRows(*ValueListEditor3, form_.ValueListEditor3);
}

void RxPage::ShowMessage(const std::string& text) {
  ShowForm();
  AppDialogs().ShowMessage(QString::fromStdString(text));
}

bool RxPage::OpenLineup(const QString& path) {
  const FileReadResult file =
      ReadFileCapped(QFile::encodeName(path).toStdString(), kLineupMaxFileBytes);
  if (file.status == FileReadStatus::kCannotOpen || file.status == FileReadStatus::kCannotRead) {
    AppDialogs().ShowMessage(QStringLiteral("Cannot open \"%1\": %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(file.error))));
    return false;
  }
  if (file.status == FileReadStatus::kTooLarge) {
    // The line-up reader's own message for a text over the limit.
    AppDialogs().ShowMessage(QStringLiteral("%1: the file is larger than %2")
                                 .arg(QFileInfo(path).fileName(),
                                      QString::fromStdString(ByteSizeText(kLineupMaxFileBytes))));
    return false;
  }
  if (!file.ok()) {
    AppDialogs().ShowMessage(
        QStringLiteral("\"%1\" %2")
            .arg(path, QString::fromStdString(FileReadReason(file, kLineupMaxFileBytes))));
    return false;
  }
  const LineupResult result = ParseLineupCsv(file.bytes, RxForm::ParameterKeys());
  if (!result.ok) {
    AppDialogs().ShowMessage(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(),
                                                          QString::fromStdString(result.error)));
    return false;
  }
  ReadInput();
  form_.ApplyLineup(result.lineup);
  ShowForm();
  return true;
}

bool RxPage::SaveLineup(const QString& path) {
  ReadInput();
  const int error = SaveFile(path, WriteLineupCsv(form_.CurrentLineup()));
  if (error)
    AppDialogs().ShowMessage(
        QStringLiteral("Cannot save \"%1\": %2").arg(path, FileErrorText(error)));
  return error == 0;
}

bool RxPage::ExportResults(const QString& path) {
  const int error = SaveFile(path, form_.ResultsCsv());
  if (error)
    AppDialogs().ShowMessage(
        QStringLiteral("Cannot save \"%1\": %2").arg(path, FileErrorText(error)));
  return error == 0;
}

void RxPage::ShowChartWindow() {
  if (!chart_window_)
    chart_window_ = new RxChartWindow(this);
  ReadInput();
  chart_window_->ShowLineup(form_);
  chart_window_->show();
  chart_window_->raise();
}

}  // namespace vexa
