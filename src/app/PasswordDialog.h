#pragma once

#include "ui/UiPort.h"

#include <QDialog>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tafelbot::app {

// The modal password prompt. Enter and "Ok" answer with what was typed (possibly nothing);
// Escape and "Abbrechen" answer that the user does not want to go on. What follows from either
// is the send run's decision.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // Shows the three values and waits; the text typed (Windows-1252), or nothing when the user
    // cancelled.
    std::optional<std::string> frage(const UiPort::PasswordRequest& request);

    QLineEdit* eingabe() const { return eingabe_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* abbrechenButton() const { return abbrechen_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* server_;
    QLabel* konto_;
    QLabel* anmeldename_;
    QLineEdit* eingabe_;
    QPushButton* ok_;
    QPushButton* abbrechen_;
};

} // namespace tafelbot::app
