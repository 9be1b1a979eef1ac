#pragma once

#include "ui/UiPort.h"

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tafelbot::app {

// The modal password prompt. Enter and "Ok" close it with what was typed; Escape closes it with
// no answer (an empty answer ends the send run).
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // Shows the three values, waits for Enter or "Ok" and returns the text typed (Windows-1252).
    std::string frage(const UiPort::PasswordRequest& request);

    QLineEdit* eingabe() const { return eingabe_; }
    QPushButton* okButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* server_;
    QLabel* konto_;
    QLabel* anmeldename_;
    QLineEdit* eingabe_;
    QPushButton* ok_;
};

} // namespace tafelbot::app
