#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tafelbot {
class MainWorkflow;
class ServerSettingsModel;
} // namespace tafelbot

namespace tafelbot::app {

// The server settings dialog's sign-in part: the provider choice (which fills server, port and
// connection security, and hides the password while OAuth is chosen), the client id, and the
// button that signs the account in, in the browser or with a device code in a dialog of its own.
// The sign-in runs on a thread of its own, so that the window stays alive while the user signs in.
class OAuthAnmeldung : public QWidget {
    Q_OBJECT
public:
    // The dialog's fields this part fills or hides.
    struct Felder {
        QLineEdit* server = nullptr;
        QLineEdit* port = nullptr;
        QComboBox* sicherheit = nullptr;
        QLineEdit* konto = nullptr;
        QList<QWidget*> kennwort; // hidden while OAuth is chosen
    };

    OAuthAnmeldung(MainWorkflow& workflow, QWidget* parent);
    ~OAuthAnmeldung() override;
    // Once, when the dialog has made its fields.
    void felderVerbinden(Felder felder);

    void insModell(ServerSettingsModel& m) const;
    void vonModell(const ServerSettingsModel& m);

    QComboBox* anbieter() const { return anbieter_; }
    QLineEdit* clientId() const { return clientId_; }
    QPushButton* anmeldenButton() const { return anmelden_; }
    QLabel* kontoLabel() const { return konto_; }

signals:
    // The sign-in ended; empty on success, else the message shown.
    void anmeldungBeendet(const QString& fehler);

private:
    void anbieterGewaehlt(int eintrag);
    void sichtbarkeitAnzeigen();
    void kontoAnzeigen();
    void anmelden();
    void codeZeigen(const QString& adresse, const QString& code);
    void beendet(const std::string& fehler);
    void abwarten();

    MainWorkflow& workflow_;
    Felder felder_;
    QComboBox* anbieter_;
    QLineEdit* clientId_;
    QPushButton* anmelden_;
    QLabel* konto_;
    QPointer<QDialog> codeDialog_;
    std::thread anmeldung_;
    std::atomic<bool> abbrechen_{false};
};

} // namespace tafelbot::app
