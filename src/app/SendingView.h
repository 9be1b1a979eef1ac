#pragma once

#include "app/QtEventLoop.h"

#include <QFrame>
#include <QObject>

class QLabel;
class QPushButton;

namespace tafelbot {
class MainWorkflow;
}

namespace tafelbot::app {

class MainWindow;

// The send panel over the table: sender, recipient, the heading of the mail, the status line
// and "Abbrechen".
class SendPanel : public QFrame {
    Q_OBJECT
public:
    explicit SendPanel(QWidget* parent);

    QLabel* absender() const { return absender_; }
    QLabel* empfaenger() const { return empfaenger_; }
    QLabel* ueberschrift() const { return ueberschrift_; }
    QLabel* status() const { return status_; }
    QPushButton* abbrechenButton() const { return abbrechen_; }

private:
    QLabel* absender_;
    QLabel* empfaenger_;
    QLabel* ueberschrift_;
    QLabel* status_;
    QPushButton* abbrechen_;
};

// Sending in the desktop program: the event loop the SMTP client runs on, the send panel, and
// the buttons that start a send ("eMail(s) senden", the server settings' "Test-eMail senden").
class SendingView : public QObject {
    Q_OBJECT
public:
    explicit SendingView(MainWindow& fenster);
    ~SendingView() override;

    // The core changed the send panel: shows it with the tool bar hidden and the table
    // disabled, or the other way round.
    void anzeigen();

    SendPanel* panel() const { return panel_; }
    QtEventLoop& loop() { return loop_; }

private:
    void testMailSenden();

    MainWindow& fenster_;
    MainWorkflow& workflow_;
    QtEventLoop loop_;
    SendPanel* panel_;
};

} // namespace tafelbot::app
