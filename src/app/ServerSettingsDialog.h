#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tafelbot {
class MainWorkflow;
}

namespace tafelbot::app {

class OAuthAnmeldung;

// The modal server settings dialog. Its fields mirror the core's ServerSettingsModel: before
// every core operation the widgets are copied into the model, afterwards back.
class ServerSettingsDialog : public QDialog {
    Q_OBJECT
public:
    ServerSettingsDialog(MainWorkflow& workflow, QWidget* parent);

    void oeffnen();
    // The core changed the dialog's fields (the settings file was read, or saved).
    void einstellungenGelesen();
    // The gpn reader filled the teacher list anew.
    void lehrerListeAnzeigen();

    void insModell();
    void rechtsInsModell();
    void vonModell();

    // Controls, for tests and for the test mail.
    QLineEdit* absendername() const { return absendername_; }
    QLineEdit* smtpServer() const { return smtpServer_; }
    QLineEdit* port() const { return port_; }
    QComboBox* verbindungssicherheit() const { return verbindungssicherheit_; }
    QCheckBox* zertifikatUngeprueft() const { return zertifikatUngeprueft_; }
    QLineEdit* kontoname() const { return kontoname_; }
    QCheckBox* kennwortSpeichern() const { return kennwortSpeichern_; }
    QLabel* kennwortLabel() const { return kennwortLabel_; }
    QLineEdit* kennwort() const { return kennwort_; }
    QLineEdit* anmeldename() const { return anmeldename_; }
    QLineEdit* absender() const { return absender_; }
    QLineEdit* antwortAn() const { return antwortAn_; }
    QComboBox* authentifizierung() const { return authentifizierung_; }
    QComboBox* prioritaet() const { return prioritaet_; }
    QCheckBox* kopieSenden() const { return kopieSenden_; }
    QLabel* kopieAnLabel() const { return kopieAnLabel_; }
    QLineEdit* kopieAn() const { return kopieAn_; }
    QCheckBox* zusatztextAnhaengen() const { return zusatztextAnhaengen_; }
    QPlainTextEdit* zusatztext() const { return zusatztext_; }
    QComboBox* lehrerliste() const { return lehrerliste_; }
    QLineEdit* empfaenger() const { return empfaenger_; }
    QLineEdit* betreff() const { return betreff_; }
    QPlainTextEdit* mailText() const { return mailText_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* abbrechenButton() const { return abbrechen_; }
    QPushButton* testMailButton() const { return testMail_; }
    QPushButton* felderLoeschenButton() const { return felderLoeschen_; }
    OAuthAnmeldung* oauth() const { return oauth_; }

public slots:
    // Closing the dialog any other way than "Ok" is "Abbrechen".
    void reject() override;

protected:
    bool eventFilter(QObject* objekt, QEvent* event) override;

private:
    void aktivierungAnzeigen();

    MainWorkflow& workflow_;
    QLineEdit* absendername_;
    QLineEdit* smtpServer_;
    QLineEdit* port_;
    QComboBox* verbindungssicherheit_;
    QCheckBox* zertifikatUngeprueft_;
    QLineEdit* kontoname_;
    QCheckBox* kennwortSpeichern_;
    QLabel* kennwortLabel_;
    QLineEdit* kennwort_;
    QLineEdit* anmeldename_;
    QLineEdit* absender_;
    QLineEdit* antwortAn_;
    QComboBox* authentifizierung_;
    QComboBox* prioritaet_;
    QCheckBox* kopieSenden_;
    QLabel* kopieAnLabel_;
    QLineEdit* kopieAn_;
    QCheckBox* zusatztextAnhaengen_;
    QPlainTextEdit* zusatztext_;
    QComboBox* lehrerliste_;
    QLineEdit* empfaenger_;
    QLineEdit* betreff_;
    QPlainTextEdit* mailText_;
    QPushButton* ok_;
    QPushButton* abbrechen_;
    QPushButton* testMail_;
    QPushButton* felderLoeschen_;
    OAuthAnmeldung* oauth_;
};

} // namespace tafelbot::app
