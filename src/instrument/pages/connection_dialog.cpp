#include "instrument/pages/connection_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "ui/elided_path_label.h"

namespace vexa {
namespace {

constexpr TransportKind kTransports[] = {TransportKind::kGpib, TransportKind::kSocket,
                                         TransportKind::kVisa};

QString Hint(TransportKind kind) {
  switch (kind) {
    case TransportKind::kGpib:
      return QStringLiteral(
          "A GPIB board through the Linux GPIB driver: GPIB0::14::INSTR\n"
          "(board 0, primary address 14; a secondary address may follow).");
    case TransportKind::kSocket:
      return QStringLiteral(
          "A raw SCPI socket over the LAN: TCPIP0::192.168.1.20::5025::SOCKET\n"
          "(host name or address, port; commands and answers end with LF).");
    case TransportKind::kVisa:
      return QStringLiteral(
          "Any resource a VISA library opens: TCPIP0::testset.lab::inst0::INSTR (VXI-11),\n"
          "TCPIP0::host::hislip0::INSTR, USB0::...::INSTR, or GPIB0::14::INSTR through a\n"
          "vendor's USB-GPIB adapter.");
  }
  return {};
}

// ~/.config/vexa/vexa.ini (under $XDG_CONFIG_HOME when that is set).
std::unique_ptr<QSettings> Settings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("vexa"), QStringLiteral("vexa"));
}

}  // namespace

ConnectionDialog::ConnectionDialog(const QString& instrument, const Connection& current,
                                   int default_primary, QWidget* parent)
    : QDialog(parent), default_primary_(default_primary) {
  setObjectName(QStringLiteral("ConnectionDialog"));
  setWindowTitle(instrument + QStringLiteral(" connection"));
  TransportBox = new QComboBox(this);
  TransportBox->setObjectName(QStringLiteral("TransportBox"));
  for (TransportKind kind : kTransports)
    TransportBox->addItem(QString::fromLatin1(TransportTitle(kind)));
  AddressEdit = new QLineEdit(QString::fromStdString(current.resource), this);
  AddressEdit->setObjectName(QStringLiteral("AddressEdit"));
  AddressEdit->setMinimumWidth(AddressEdit->fontMetrics().horizontalAdvance(
      QStringLiteral("TCPIP0::testset.lab.example::5025::SOCKET   ")));
  HintLabel = new QLabel(this);
  HintLabel->setObjectName(QStringLiteral("HintLabel"));
  QPalette grey = HintLabel->palette();
  grey.setColor(QPalette::WindowText, QColor(0x55, 0x55, 0x55));
  HintLabel->setPalette(grey);
  ErrorLabel = new QLabel(this);
  ErrorLabel->setObjectName(QStringLiteral("ErrorLabel"));
  ErrorLabel->setWordWrap(true);
  QPalette red = ErrorLabel->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  ErrorLabel->setPalette(red);
  ErrorLabel->hide();

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Transport"), TransportBox);
  form->addRow(QStringLiteral("Address"), AddressEdit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(HintLabel);
  layout->addWidget(ErrorLabel);
  layout->addWidget(buttons);

  TransportBox->setCurrentIndex(static_cast<int>(current.transport));
  HintLabel->setText(Hint(current.transport));
  connect(TransportBox, &QComboBox::currentIndexChanged, this, &ConnectionDialog::TransportChanged);
  connect(buttons, &QDialogButtonBox::accepted, this, &ConnectionDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ConnectionDialog::reject);
}

Connection ConnectionDialog::Choice() const {
  const int index = std::clamp(TransportBox->currentIndex(), 0, 2);
  return Connection{kTransports[index], AddressEdit->text().trimmed().toStdString()};
}

void ConnectionDialog::TransportChanged(int index) {
  const TransportKind kind = kTransports[std::clamp(index, 0, 2)];
  HintLabel->setText(Hint(kind));
  ErrorLabel->hide();
  // An address the new transport cannot carry gives way to an example of its form; the
  // host of a LAN address is kept.
  const std::string resource = AddressEdit->text().trimmed().toStdString();
  if (CheckConnection(kind, resource).empty())
    return;
  const std::optional<InstrumentAddress> address = ParseInstrumentAddress(resource, nullptr);
  if (kind == TransportKind::kGpib) {
    AddressEdit->setText(QString::fromStdString(DefaultGpibConnection(default_primary_).resource));
  } else if (kind == TransportKind::kSocket) {
    const std::string host = address && !address->host.empty() ? address->host : "192.168.1.20";
    AddressEdit->setText(QString::fromStdString("TCPIP0::" + host + "::5025::SOCKET"));
  }
  AddressEdit->selectAll();
  AddressEdit->setFocus();
}

void ConnectionDialog::accept() {
  const Connection choice = Choice();
  const std::string problem = CheckConnection(choice.transport, choice.resource);
  if (!problem.empty()) {
    ShowError(QString::fromStdString(problem));
    return;
  }
  if (apply_) {
    if (const QString refused = apply_(choice); !refused.isEmpty()) {
      ShowError(refused);
      return;
    }
  }
  QDialog::accept();
}

void ConnectionDialog::ShowError(const QString& reason) {
  ErrorLabel->setText(reason);
  ErrorLabel->show();
}

ConnectionControl::ConnectionControl(QWidget* page, InstrumentSession& session, ElidedPathLabel* note,
                                     const char* key, const QString& instrument)
    : QObject(page),
      session_(session),
      note_(note),
      key_(QString::fromLatin1(key)),
      instrument_(instrument) {
  Button = new QToolButton(page);
  Button->setObjectName(QStringLiteral("ConnectionButton"));
  // A small button at the end of the note it changes, so that the note keeps its room.
  Button->setText(QStringLiteral("..."));
  Button->setAutoRaise(true);
  Button->setToolTip(
      QStringLiteral("Connection: choose how this instrument is reached "
                     "(GPIB, LAN socket or VISA) and its address"));
  connect(Button, &QToolButton::clicked, this, &ConnectionControl::ButtonClick);
  if (const std::optional<Connection> remembered = LoadConnection(key_))
    session_.SetConnection(*remembered);
  ShowNote();
  Place(note_->x(), note_->y(), note_->width());
}

void ConnectionControl::Place(int note_left, int note_top, int width) {
  const int button_width = std::max(Button->sizeHint().width(), 22);
  const int height = note_->height();
  Button->setGeometry(note_left + width - button_width, note_top - 2, button_width, height + 4);
  note_->setGeometry(note_left, note_top, std::max(0, width - button_width - 4), height);
}

void ConnectionControl::SetBusy(bool busy) {
  Button->setEnabled(!busy);
  if (busy && dialog_)
    dialog_->reject();
}

QString ConnectionControl::Apply(const Connection& connection) {
  const std::string problem = session_.SetConnection(connection);
  if (!problem.empty())
    return QString::fromStdString(problem);
  SaveConnection(key_, connection);
  ShowNote();
  return {};
}

void ConnectionControl::ButtonClick() {
  if (dialog_)
    return;
  dialog_ = new ConnectionDialog(instrument_, session_.connection(), session_.address(),
                                 Button->window());
  dialog_->setAttribute(Qt::WA_DeleteOnClose);
  dialog_->SetApply([this](const Connection& connection) { return Apply(connection); });
  connect(dialog_, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
  dialog_->open();
}

void ConnectionControl::ShowNote() {
  note_->SetFullText(QString::fromStdString(session_.ConnectionNote()));
}

std::optional<Connection> LoadConnection(const QString& key) {
  const std::unique_ptr<QSettings> settings = Settings();
  settings->beginGroup(QStringLiteral("Connection/") + key);
  const QString transport = settings->value(QStringLiteral("transport")).toString();
  const QString resource = settings->value(QStringLiteral("resource")).toString();
  const std::optional<TransportKind> kind = TransportFromKeyword(transport.toStdString());
  if (!kind || !CheckConnection(*kind, resource.toStdString()).empty())
    return std::nullopt;
  return Connection{*kind, resource.toStdString()};
}

void SaveConnection(const QString& key, const Connection& connection) {
  const std::unique_ptr<QSettings> settings = Settings();
  settings->beginGroup(QStringLiteral("Connection/") + key);
  settings->setValue(QStringLiteral("transport"),
                     QString::fromLatin1(TransportKeyword(connection.transport)));
  settings->setValue(QStringLiteral("resource"), QString::fromStdString(connection.resource));
}

}  // namespace vexa
