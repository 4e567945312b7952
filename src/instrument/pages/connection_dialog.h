// The instrument connection of a page: the small settings dialog that chooses the transport
// and the address, and the choice remembered between runs of the program.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <functional>

#include "instrument/bus/instrument_session.h"
#include "instrument/bus/instrument_address.h"

namespace vexa {

class ElidedPathLabel;

class ConnectionDialog : public QDialog {
  Q_OBJECT

 public:
  // `default_primary`: the instrument's GPIB address, offered when the GPIB driver is chosen.
  ConnectionDialog(const QString& instrument, const Connection& current, int default_primary,
                   QWidget* parent);

  // The choice as it stands in the fields.
  Connection Choice() const;
  // What OK does with a choice the transport can carry: "" when it took effect, else why not
  // (the dialog then stays open and shows the reason). Without it OK only closes the dialog.
  void SetApply(std::function<QString(const Connection&)> apply) { apply_ = std::move(apply); }

  QComboBox* TransportBox;
  QLineEdit* AddressEdit;
  QLabel* HintLabel;
  QLabel* ErrorLabel;

  // OK: accepted only when the transport can carry the address and the choice took effect;
  // else the reason shows.
  void accept() override;

 private:
  void TransportChanged(int index);
  void ShowError(const QString& reason);

  const int default_primary_;
  std::function<QString(const Connection&)> apply_;
};

// The page's part: the "..." (connection) button at the end of the note line under the memo,
// the dialog it opens, the session's connection and the note. `key` names the instrument in
// the settings file ("testset", "dcsource").
class ConnectionControl : public QObject {
  Q_OBJECT

 public:
  ConnectionControl(QWidget* page, InstrumentSession& session, ElidedPathLabel* note, const char* key,
                    const QString& instrument);

  QToolButton* Button;

  // Places the button at the right end of the note's line and gives the note the rest.
  void Place(int note_left, int note_top, int width);
  // No change of connection while the page works with the instrument (a run, the set-up, a
  // console command), from the click that starts the work until it has ended: the button is
  // disabled and an open dialog is closed.
  void SetBusy(bool busy);
  // Applies a choice: sets the session's connection, remembers it, updates the note. Returns
  // "" or the reason it was refused (the connection then stays as it was), such as the
  // session being in use by work that began elsewhere.
  QString Apply(const Connection& connection);
  // The dialog while it is open (tests drive it), else nullptr.
  ConnectionDialog* OpenDialog() const { return dialog_; }

 private:
  void ButtonClick();
  void ShowNote();

  InstrumentSession& session_;
  ElidedPathLabel* note_;
  const QString key_;
  const QString instrument_;
  ConnectionDialog* dialog_ = nullptr;
};

// The connection remembered for `key`, if any (and still valid).
std::optional<Connection> LoadConnection(const QString& key);
void SaveConnection(const QString& key, const Connection& connection);

}  // namespace vexa
