#include "GuiTestSupport.h"
#include "app/PasswordDialog.h"
#include "app/ServerSettingsDialog.h"
#include "settings/Cp1252.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace tafelbot;
using namespace tafelbot::testing;

namespace {

// Opens the server settings from the tool bar and runs `schritte` on the open dialog.
void imDialog(Programm& p, ModalAnswerer& antworten,
              const std::function<void(app::ServerSettingsDialog*)>& schritte) {
    antworten.add([schritte](QWidget* w) {
        auto* dialog = qobject_cast<app::ServerSettingsDialog*>(w);
        QVERIFY(dialog != nullptr);
        schritte(dialog);
    });
    QTest::mouseClick(p.fenster->einstellungenButton(), Qt::LeftButton);
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void serverSettingsShowTheStoredRecord();
    void cancelRestoresTheFileAndOkRewritesIt();
    void overlongAdditionalTextIsCutWithAMessage();
    void teacherListFillsTheRecipient();
    void passwordPromptReturnsItsTextOnEnter();
};

void DialogTest::serverSettingsShowTheStoredRecord() {
    Programm p([](Einstellungen& w) {
        w.Server.SmtpServer = "127.0.0.1";
        w.Server.Authentifizierung = 3;
        w.Server.Prioritaet = 4;
        w.Server.KopieSenden = false;
    });
    ModalAnswerer antworten;
    imDialog(p, antworten, [](app::ServerSettingsDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Server-Einstellungen & Test-eMail senden"));
        QCOMPARE(d->smtpServer()->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(d->port()->text(), QStringLiteral("25"));
        QCOMPARE(d->authentifizierung()->count(), 6);
        QCOMPARE(d->authentifizierung()->currentText(), QStringLiteral("CramMD5"));
        QCOMPARE(d->prioritaet()->currentText(), QStringLiteral("Low"));
        QCOMPARE(d->prioritaet()->itemText(0), QStringLiteral("Nicht spezifiziert"));
        QVERIFY(d->kennwortSpeichern()->isChecked());
        QVERIFY(d->kennwort()->isEnabled());
        QCOMPARE(d->kennwort()->echoMode(), QLineEdit::Password);
        QVERIFY(!d->kopieAn()->isEnabled());
        QCOMPARE(d->betreff()->text(), QStringLiteral("Vertretungspläne (Test-eMail)"));
        QVERIFY(d->mailText()->toPlainText().startsWith(
            QStringLiteral("Liebe Kollegin, lieber Kollege,\n\n")));
        QCOMPARE(d->okButton()->text(), QStringLiteral("Ok   (Einstellungen speichern)"));
        QCOMPARE(d->abbrechenButton()->text(), QStringLiteral("Abbrechen "));
        QVERIFY(d->testMailButton() != nullptr);

        // The enabling rules.
        QTest::mouseClick(d->kopieSenden(), Qt::LeftButton);
        QVERIFY(d->kopieAn()->isEnabled());
        QTest::mouseClick(d->kennwortSpeichern(), Qt::LeftButton);
        QVERIFY(!d->kennwort()->isEnabled());
        QVERIFY(!d->kennwortLabel()->isEnabled());
        QCOMPARE(d->kennwort()->text(), QString());
        QTest::mouseClick(d->abbrechenButton(), Qt::LeftButton);
    });
    QVERIFY(antworten.fertig());
    QCOMPARE(antworten.unerwartet, 0);
}

void DialogTest::cancelRestoresTheFileAndOkRewritesIt() {
    Programm p;
    const std::string gespeichert = readFile(p.ini);
    QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton); // not yet in the file
    {
        ModalAnswerer antworten;
        imDialog(p, antworten, [](app::ServerSettingsDialog* d) {
            d->absendername()->setText(QStringLiteral("Geändert"));
            d->port()->setText(QStringLiteral("kein Port"));
            d->prioritaet()->setCurrentIndex(2);
            d->empfaenger()->setText(QStringLiteral("test@schule.example"));
            QTest::mouseClick(d->abbrechenButton(), Qt::LeftButton);
        });
        QCOMPARE(antworten.unerwartet, 0);
    }
    QCOMPARE(p.wf().werte.Server.Absendername, std::string("Vertretungsplaner"));
    QCOMPARE(p.wf().werte.Server.Port, std::string("25"));
    QCOMPARE(readFile(p.ini), gespeichert);
    // The window's date stays; the test-mail side keeps what was typed.
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261208"));
    QCOMPARE(p.fenster->serverDialog()->absendername()->text(),
             QStringLiteral("Vertretungsplaner"));
    QCOMPARE(p.fenster->serverDialog()->empfaenger()->text(),
             QStringLiteral("test@schule.example"));

    {
        ModalAnswerer antworten;
        imDialog(p, antworten, [](app::ServerSettingsDialog* d) {
            QCOMPARE(d->absendername()->text(), QStringLiteral("Vertretungsplaner"));
            d->absendername()->setText(QStringLiteral("Schulbüro"));
            d->port()->setText(QStringLiteral("kein Port"));
            d->prioritaet()->setCurrentIndex(2);
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        QCOMPARE(antworten.unerwartet, 0);
    }
    QCOMPARE(p.wf().werte.Server.Absendername, "Schulbüro"_cp);
    QCOMPARE(p.wf().werte.Server.Prioritaet, 2);
    const std::string datei = readFile(p.ini);
    QVERIFY(datei.find("Schulbüro"_cp) != std::string::npos);
    QVERIFY(datei.find("kein Port") != std::string::npos);
    QVERIFY(!p.fenster->serverDialog()->isVisible());
}

void DialogTest::overlongAdditionalTextIsCutWithAMessage() {
    Programm p;
    ModalAnswerer antworten;
    imDialog(p, antworten, [&antworten](app::ServerSettingsDialog* d) {
        antworten.ok(); // the message that follows
        d->zusatztext()->setPlainText(QString(200, QLatin1Char('a')) + "\n   " +
                                      QString(100, QLatin1Char('b')));
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    QVERIFY(antworten.fertig());
    QCOMPARE(antworten.unerwartet, 0);
    QCOMPARE(antworten.texte.size(), 1);
    QCOMPARE(antworten.texte[0],
             QStringLiteral("Der eingegebene Zusatztext besteht aus mehr als 255 "
                            "Zeichen!\nDer Text musste gekürzt werden."));
    const std::string erwartet = std::string(200, 'a') + " " + std::string(53, 'b');
    QCOMPARE(p.wf().werte.Server.Zusatztext, erwartet);
    QVERIFY(readFile(p.ini).find(erwartet + "\r\n") != std::string::npos);
    QCOMPARE(p.fenster->serverDialog()->zusatztext()->toPlainText(),
             QString::fromStdString(erwartet));

    // Enter makes no second paragraph.
    QTest::keyClick(p.fenster->serverDialog()->zusatztext(), Qt::Key_Return);
    QVERIFY(!p.fenster->serverDialog()->zusatztext()->toPlainText().contains(QLatin1Char('\n')));
}

void DialogTest::teacherListFillsTheRecipient() {
    Programm p;
    ModalAnswerer antworten;
    imDialog(p, antworten, [&antworten](app::ServerSettingsDialog* d) {
        antworten.ok();
        QComboBox* liste = d->lehrerliste();
        QCOMPARE(liste->count(), 4);
        QCOMPARE(liste->itemText(0), QStringLiteral("+ Huber"));
        QCOMPARE(liste->itemText(1), QStringLiteral("-  Müller"));
        QCOMPARE(liste->maxVisibleItems(), 33);
        liste->setCurrentIndex(2);
        emit liste->activated(2);
        QCOMPARE(d->empfaenger()->text(), QStringLiteral("schulz@schule.example"));
        liste->setCurrentIndex(1);
        emit liste->activated(1); // no address: a box, the field stays
        QCOMPARE(d->empfaenger()->text(), QStringLiteral("schulz@schule.example"));
        QTest::mouseClick(d->felderLoeschenButton(), Qt::LeftButton);
        QCOMPARE(d->empfaenger()->text(), QString());
        QCOMPARE(d->betreff()->text(), QString());
        QCOMPARE(d->mailText()->toPlainText(), QString());
        QCOMPARE(liste->currentText(), QString());
        QTest::mouseClick(d->abbrechenButton(), Qt::LeftButton);
    });
    QVERIFY(antworten.fertig());
    QCOMPARE(antworten.unerwartet, 0);
    QCOMPARE(antworten.texte, QStringList{QStringLiteral(
                                  "Für Lehrer \"Müller\" ist keine eMail-Adresse vorhanden!")});
}

void DialogTest::passwordPromptReturnsItsTextOnEnter() {
    Programm p;
    ModalAnswerer antworten;
    antworten.add([](QWidget* w) {
        auto* dialog = qobject_cast<app::PasswordDialog*>(w);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Bitte geben Sie das Kennwort ein!"));
        QVERIFY(dialog->findChild<QLabel*>() != nullptr);
        QStringList texte;
        for (QLabel* l : dialog->findChildren<QLabel*>())
            texte << l->text();
        QVERIFY(texte.contains(QStringLiteral("Kennwort::")));
        QVERIFY(texte.contains(QStringLiteral("smtp.schule.example")));
        QVERIFY(texte.contains(QStringLiteral("Büro")));
        QCOMPARE(dialog->eingabe()->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog->eingabe()->text(), QString());
        QTest::keyClick(dialog->eingabe(), Qt::Key_Escape); // no way out but Ok and Enter
        QVERIFY(dialog->isVisible());
        QTest::keyClicks(dialog->eingabe(), QStringLiteral("geheim§"));
        QTest::keyClick(dialog->eingabe(), Qt::Key_Return);
    });
    const std::string antwort = p.ui.askPassword({"smtp.schule.example", "Büro"_cp, "anmeldung"});
    QCOMPARE(antwort, "geheim§"_cp);
    QCOMPARE(antworten.unerwartet, 0);
}

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
