// The connection security in the desktop program: the server settings dialog keeps it like
// every other field, and "eMail(s) senden" reaches a server that demands STARTTLS.
#include "GuiTestSupport.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "settings/SettingsFile.h"
#include "support/RecordingUi.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

using namespace tafelbot;
using namespace tafelbot::testing;

namespace {

void imDialog(Programm& p, const std::function<void(app::ServerSettingsDialog*)>& schritte) {
    ModalAnswerer antworten;
    antworten.add([&](QWidget* w) {
        auto* dialog = qobject_cast<app::ServerSettingsDialog*>(w);
        QVERIFY(dialog != nullptr);
        schritte(dialog);
    });
    QTest::mouseClick(p.fenster->einstellungenButton(), Qt::LeftButton);
    QVERIFY(antworten.fertig());
    QCOMPARE(antworten.unerwartet, 0);
}

Einstellungen ausDatei(const std::string& ini) {
    Einstellungen e;
    RecordingUi stumm;
    IniLesen(e, ini, stumm);
    return e;
}

bool imLog(MainWorkflow& w, const std::string& teil) {
    for (const std::string& zeile : w.log.lines())
        if (zeile.find(teil) != std::string::npos)
            return true;
    return false;
}

} // namespace

class SecurityGuiTest : public QObject {
    Q_OBJECT
private slots:
    void dialogRestoresOnCancelAndSavesOnOk();
    void sendsThroughStartTls();
};

void SecurityGuiTest::dialogRestoresOnCancelAndSavesOnOk() {
    Programm p([](Einstellungen& w) {
        w.Server.Verbindungssicherheit = 2;
        w.Server.ZertifikatUngeprueftAnnehmen = true;
    });
    imDialog(p, [](app::ServerSettingsDialog* d) {
        QCOMPARE(d->verbindungssicherheit()->currentText(),
                 QStringLiteral("STARTTLS erforderlich"));
        QCOMPARE(d->verbindungssicherheit()->count(), 4);
        QVERIFY(d->zertifikatUngeprueft()->isChecked());
        d->verbindungssicherheit()->setCurrentIndex(3);
        QTest::mouseClick(d->zertifikatUngeprueft(), Qt::LeftButton);
        QTest::mouseClick(d->abbrechenButton(), Qt::LeftButton);
    });
    QCOMPARE(p.wf().werte.Server.Verbindungssicherheit, 2);
    QVERIFY(p.wf().werte.Server.ZertifikatUngeprueftAnnehmen);

    imDialog(p, [](app::ServerSettingsDialog* d) {
        QCOMPARE(d->verbindungssicherheit()->currentIndex(), 2);
        QVERIFY(d->zertifikatUngeprueft()->isChecked());
        d->verbindungssicherheit()->setCurrentIndex(1);
        QTest::mouseClick(d->zertifikatUngeprueft(), Qt::LeftButton);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
    });
    QCOMPARE(p.wf().werte.Server.Verbindungssicherheit, 1);
    QVERIFY(!p.wf().werte.Server.ZertifikatUngeprueftAnnehmen);
    const Einstellungen gespeichert = ausDatei(p.ini);
    QCOMPARE(gespeichert.Server.Verbindungssicherheit, 1);
    QVERIFY(!gespeichert.Server.ZertifikatUngeprueftAnnehmen);
}

// Qt's event loop carries the handshake as the poll loop does.
void SecurityGuiTest::sendsThroughStartTls() {
    const auto& zertifikate = TestCertificates::get();
    SmtpTestServer::Options optionen;
    optionen.requireAuth = true;
    optionen.extraArguments = {"--tls-cert",         zertifikate.good().cert,
                               "--tls-key",          zertifikate.good().key,
                               "--require-starttls", "--auth-require-tls"};
    SmtpTestServer server(optionen);
    Programm p([&](Einstellungen& e) {
        e.Server.SmtpServer = "localhost";
        e.Server.Port = server.portText();
        e.Server.Kontoname = "konto";
        e.Server.Kennwort = "geheim";
        e.Server.Absender = "buero@schule.test";
        e.Server.Verbindungssicherheit = 2;
        e.Server.ZusatzCaDatei = zertifikate.caFile();
    });
    const auto& linien = p.fenster->tabelle()->linien();
    std::size_t linie = 0;
    while (!linien[linie].haken->isChecked())
        ++linie;
    QTest::mouseClick(linien[linie].nummer, Qt::LeftButton);
    ModalAnswerer keineFrage;
    QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht(), 30000);
    QCOMPARE(keineFrage.texte, QStringList());
    QCOMPARE(server.messageFiles().size(), std::size_t(1));
    QVERIFY(server.envelopeOf(server.messageFiles()[0]).find("\"tls\": true") != std::string::npos);
    QVERIFY(imLog(p.wf(), "TLS: TLSv1.3, "));
}

QTEST_MAIN(SecurityGuiTest)
#include "SecurityGuiTest.moc"
