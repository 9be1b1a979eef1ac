#include "GuiTestSupport.h"
#include "app/OAuthAnmeldung.h"
#include "app/PasswordDialog.h"

#include <QCheckBox>

using namespace tafelbot;
using namespace tafelbot::testing;

namespace {

// Opens the server settings from the tool bar and runs `schritte` on the open dialog; `boxen`
// message boxes that these steps raise are answered with OK.
QStringList imDialog(Programm& p, int boxen,
                     const std::function<void(app::ServerSettingsDialog*)>& schritte) {
    ModalAnswerer antworten;
    antworten.add([&](QWidget* w) {
        antworten.ok(boxen);
        auto* dialog = qobject_cast<app::ServerSettingsDialog*>(w);
        QVERIFY(dialog != nullptr);
        schritte(dialog);
    });
    QTest::mouseClick(p.fenster->einstellungenButton(), Qt::LeftButton);
    [&] {
        QVERIFY(antworten.fertig());
        QCOMPARE(antworten.unerwartet, 0);
        QVERIFY(!p.fenster->serverDialog()->isVisible());
    }();
    return antworten.texte;
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void cancelRestoresTheFileAndOkRewritesItCuttingAnOverlongText();
    void passwordPromptAnswersOrGivesUp();
    void serverSettingsByKeyboardWithTooltipsAndProviderChoice();
};

void DialogTest::cancelRestoresTheFileAndOkRewritesItCuttingAnOverlongText() {
    Programm p([](Einstellungen& w) {
        w.Server.Authentifizierung = 3;
        w.Server.Prioritaet = 4;
        w.Server.Verbindungssicherheit = 2;
        w.Server.ZertifikatUngeprueftAnnehmen = true;
    });
    const std::string gespeichert = readFile(p.ini);
    QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton); // not yet in the file
    // The teacher list fills the recipient; a teacher without an address gets a box instead.
    const QStringList boxen = imDialog(p, 1, [](app::ServerSettingsDialog* d) {
        QComboBox* liste = d->lehrerliste();
        QCOMPARE(liste->itemText(1), QStringLiteral("-  Müller"));
        for (const int eintrag : {2, 1}) {
            liste->setCurrentIndex(eintrag);
            emit liste->activated(eintrag);
            QCOMPARE(d->empfaenger()->text(), QStringLiteral("schulz@schule.example"));
        }
        QTest::mouseClick(d->felderLoeschenButton(), Qt::LeftButton);
        QVERIFY(d->empfaenger()->text().isEmpty() && d->betreff()->text().isEmpty() &&
                d->mailText()->toPlainText().isEmpty() && liste->currentText().isEmpty());
        QCOMPARE(d->authentifizierung()->currentText() + d->prioritaet()->currentText(),
                 QStringLiteral("CramMD5Low"));
        QCOMPARE(d->verbindungssicherheit()->currentText(),
                 QStringLiteral("STARTTLS erforderlich"));
        QVERIFY(d->zertifikatUngeprueft()->isChecked() && !d->kopieAn()->isEnabled());
        d->verbindungssicherheit()->setCurrentIndex(3);
        QTest::mouseClick(d->zertifikatUngeprueft(), Qt::LeftButton);
        QTest::mouseClick(d->kopieSenden(), Qt::LeftButton);
        QTest::mouseClick(d->kennwortSpeichern(), Qt::LeftButton);
        QVERIFY(d->kopieAn()->isEnabled() && !d->kennwort()->isEnabled() &&
                d->kennwort()->text().isEmpty());
        d->absendername()->setText(QStringLiteral("Geändert"));
        d->empfaenger()->setText(QStringLiteral("test@schule.example"));
        QTest::mouseClick(d->abbrechenButton(), Qt::LeftButton);
    });
    QCOMPARE(boxen, QStringList{"Für Lehrer \"Müller\" ist keine eMail-Adresse vorhanden!"});
    const TEinstellungen& s = p.wf().werte.Server;
    QVERIFY(s.Absendername == "Vertretungsplaner" && s.KennwortSpeichern &&
            s.Verbindungssicherheit == 2 && s.ZertifikatUngeprueftAnnehmen);
    QCOMPARE(readFile(p.ini), gespeichert);
    // The window's date stays; the test-mail side keeps what was typed.
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261208"));
    QCOMPARE(p.fenster->serverDialog()->empfaenger()->text(),
             QStringLiteral("test@schule.example"));

    const QStringList texte = imDialog(p, 1, [](app::ServerSettingsDialog* d) {
        QCOMPARE(d->absendername()->text(), QStringLiteral("Vertretungsplaner"));
        QVERIFY(d->verbindungssicherheit()->currentIndex() == 2 &&
                d->zertifikatUngeprueft()->isChecked());
        d->verbindungssicherheit()->setCurrentIndex(1);
        QTest::mouseClick(d->zertifikatUngeprueft(), Qt::LeftButton);
        d->absendername()->setText(QStringLiteral("Schulbüro"));
        d->port()->setText(QStringLiteral("kein Port"));
        d->prioritaet()->setCurrentIndex(2);
        d->zusatztext()->setPlainText(QString(200, 'a') + "\n   " + QString(100, 'b'));
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    QCOMPARE(texte.size(), 1); // the cut's message (tests/core/ServerSettingsModelTest.cpp)
    const std::string gekuerzt = std::string(200, 'a') + " " + std::string(53, 'b');
    QPlainTextEdit* feld = p.fenster->serverDialog()->zusatztext();
    QCOMPARE(feld->toPlainText(), QString::fromStdString(gekuerzt));
    QTest::keyClick(feld, Qt::Key_Return); // one paragraph: Enter adds no line
    QVERIFY(!feld->toPlainText().contains('\n'));
    QVERIFY(s.Prioritaet == 2 && s.Port == "kein Port" && s.Zusatztext == gekuerzt);
    QVERIFY(readFile(p.ini).find("\r\nVerbindungssicherheit=keine\r\nZertifikatUngeprueftAnnehmen=0"
                                 "\r\n") != std::string::npos); // Ok writes the file
}

// Enter answers with what was typed, nothing included; Escape gives up, which the port answers
// with nothing, and nothing ends the run (tests/core/SendingTest.cpp).
void DialogTest::passwordPromptAnswersOrGivesUp() {
    Programm p;
    app::PasswordDialog* dialog = p.fenster->kennwortDialog();
    QString beschriftung;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (label->buddy() == dialog->eingabe())
            beschriftung = label->text();
    QCOMPARE(beschriftung, QStringLiteral("&Kennwort:"));
    const struct {
        QString getippt;
        Qt::Key taste;
        std::string antwort;
    } faelle[] = {{"geheim§", Qt::Key_Return, "geheim§"_cp},
                  {"", Qt::Key_Enter, ""},
                  {"halb", Qt::Key_Escape, ""}};
    for (const auto& fall : faelle) {
        ModalAnswerer antworten;
        antworten.add([&](QWidget* w) {
            QCOMPARE(w, dialog);
            QCOMPARE(dialog->focusWidget(), dialog->eingabe());
            QCOMPARE(dialog->eingabe()->echoMode(), QLineEdit::Password);
            QTest::keyClicks(dialog->eingabe(), fall.getippt);
            QTest::keyClick(dialog->eingabe(), fall.taste);
        });
        QCOMPARE(p.ui.askPassword({"smtp.schule.example", "Büro"_cp, "anmeldung"}), fall.antwort);
        QVERIFY(antworten.fertig() && antworten.unerwartet == 0);
    }
}

// The fields in reading order, the dialog's buttons last; the focus starts top left; every field
// says what it is for, and the login says where it belongs.
void DialogTest::serverSettingsByKeyboardWithTooltipsAndProviderChoice() {
    Programm p;
    QList<QWidget*> reihe;
    imDialog(p, 0, [&](app::ServerSettingsDialog* d) {
        QApplication::setActiveWindow(d);
        QCOMPARE(QApplication::focusWidget(), d->absendername());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab); // the sign-in above it
        reihe << QApplication::focusWidget();
        for (int i = 0; i < 24; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reihe << QApplication::focusWidget();
        }
        for (QWidget* feld : d->findChildren<QWidget*>())
            if (qobject_cast<QLineEdit*>(feld) || qobject_cast<QComboBox*>(feld) ||
                qobject_cast<QCheckBox*>(feld) || qobject_cast<QPlainTextEdit*>(feld))
                QVERIFY2(!feld->toolTip().isEmpty(), qPrintable(feld->objectName()));
        QVERIFY(d->kontoname()->toolTip().contains(QStringLiteral("Anmeldung (Login)")));
        QVERIFY(d->anmeldename()->toolTip().contains(QStringLiteral("„Name des eMail-Kontos“")));
        d->absendername()->setText(QStringLiteral("Nur getippt"));
        QTest::keyClick(d->absendername(), Qt::Key_Escape); // "Abbrechen"
    });
    app::ServerSettingsDialog* d = p.fenster->serverDialog();
    QList<QWidget*> erwartet{d->oauth()->anbieter()};
    erwartet << d->absendername() << d->smtpServer() << d->port() << d->verbindungssicherheit();
    erwartet << d->zertifikatUngeprueft() << d->kontoname() << d->kennwortSpeichern();
    erwartet << d->kennwort() << d->anmeldename() << d->absender() << d->antwortAn();
    erwartet << d->authentifizierung() << d->prioritaet() << d->kopieSenden();
    erwartet << d->zusatztextAnhaengen() << d->zusatztext() << d->lehrerliste() << d->empfaenger();
    erwartet << d->betreff() << d->mailText() << d->testMailButton() << d->felderLoeschenButton();
    erwartet << d->okButton() << d->abbrechenButton();
    QCOMPARE(reihe, erwartet);
    QCOMPARE(d->absendername()->text(), QStringLiteral("Vertretungsplaner"));

    // A sign-in would be looked up in a file of the test's own, never a desktop's secret store.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(p.dir.path()));
    imDialog(p, 0, [&](app::ServerSettingsDialog*) {
        app::OAuthAnmeldung* a = d->oauth();
        QCOMPARE(a->anbieter()->currentText(), QStringLiteral("Benutzername und Kennwort"));
        QVERIFY(!a->anmeldenButton()->isEnabled() && !d->kennwort()->isHidden());
        const struct {
            int eintrag;
            const char *server, *port, *sicherheit;
        } faelle[] = {{1, "smtp.office365.com", "587", "STARTTLS erforderlich"},
                      {2, "smtp.gmail.com", "465", "TLS"},
                      {3, "smtp.gmail.com", "465", "TLS"}, // a custom provider keeps the server
                      {0, "smtp.gmail.com", "465", "TLS"}};
        for (const auto& fall : faelle) {
            a->anbieter()->setCurrentIndex(fall.eintrag);
            emit a->anbieter()->activated(fall.eintrag);
            QCOMPARE(d->smtpServer()->text(), QString::fromUtf8(fall.server));
            QCOMPARE(d->port()->text(), QString::fromUtf8(fall.port));
            QCOMPARE(d->verbindungssicherheit()->currentText(), QString::fromUtf8(fall.sicherheit));
            const bool mitOAuth = fall.eintrag > 0;
            QCOMPARE(d->kennwort()->isHidden(), mitOAuth);
            QCOMPARE(d->kennwortSpeichern()->isHidden(), mitOAuth);
            QCOMPARE(a->anmeldenButton()->isEnabled(), mitOAuth);
            QCOMPARE(a->kontoLabel()->text(),
                     mitOAuth ? QStringLiteral("Nicht angemeldet") : QString());
        }
        a->anbieter()->setCurrentIndex(1);
        emit a->anbieter()->activated(1);
        a->clientId()->setText(QStringLiteral("0000-schule"));
        d->absendername()->setText(QStringLiteral("Schulbüro"));
        QTest::keyClick(d->port(), Qt::Key_Return); // "Ok"
    });
    const TEinstellungen& s = p.wf().werte.Server;
    QCOMPARE(s.Absendername, "Schulbüro"_cp);
    QCOMPARE(s.OAuth, std::string("microsoft"));
    QCOMPARE(s.OAuthClientId, std::string("0000-schule"));
    QCOMPARE(s.SmtpServer, std::string("smtp.office365.com"));
    imDialog(p, 0, [&](app::ServerSettingsDialog*) {
        QCOMPARE(d->oauth()->anbieter()->currentText(), QStringLiteral("Microsoft 365"));
        QVERIFY(d->kennwort()->isHidden());
        QTest::mouseClick(d->abbrechenButton(), Qt::LeftButton);
    });
}

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
