// "eMail(s) senden" in the real window, on Qt's event loop, against a real SMTP server, in plain
// text and through STARTTLS.
#include "GuiTestSupport.h"
#include "app/SendingView.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"

#include <set>

using namespace tafelbot;
using namespace tafelbot::testing;

namespace {

std::function<void(Einstellungen&)> anServer(const SmtpTestServer& server) {
    return [&server](Einstellungen& e) {
        e.Server.SmtpServer = "127.0.0.1";
        e.Server.Port = server.portText();
        e.Server.Authentifizierung = 0;
        e.Server.Absender = "buero@schule.test";
    };
}

// Clicks "eMail(s) senden", answers the boxes with OK and waits for the run's end.
void sende(Programm& p, int boxen) {
    ModalAnswerer antworten;
    antworten.ok(boxen);
    QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && !p.wf().mehrtagesVersandLaeuft(), 30000);
    QVERIFY(antworten.fertig() && antworten.unerwartet == 0);
}

} // namespace

class SendingGuiTest : public QObject {
    Q_OBJECT
private slots:
    void testMailLeavesTheDialog();
    void cancelEndsTheWaitForASilentServer();
    void twoDaysMailAndRecordAsTwoRunsOfOneDay();
};

// "Test-eMail senden" closes the dialog while the mail goes out (that it records nothing: the
// command line's test-mail run, tests/integration/cli_send_test.py).
void SendingGuiTest::testMailLeavesTheDialog() {
    SmtpTestServer server;
    Programm p(anServer(server));
    ModalAnswerer antworten;
    antworten.add([](QWidget* w) {
        auto* dialog = qobject_cast<app::ServerSettingsDialog*>(w);
        QVERIFY(dialog != nullptr);
        dialog->empfaenger()->setText(QStringLiteral("probe@schule.test"));
        dialog->testMailButton()->click();
        QVERIFY(!dialog->isVisible()); // closed while the mail goes out
    });
    QTest::mouseClick(p.fenster->einstellungenButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && server.messageFiles().size() == 1, 30000);
    QVERIFY(p.wf().mailVerschickt() && antworten.unerwartet == 0);
}

// A server that never answers the mail's data: while the run waits for it (at most the time
// limit), "Abbrechen" ends it at once and records nothing; a run over two days stops with the
// day it was in and gives the table both days back.
void SendingGuiTest::cancelEndsTheWaitForASilentServer() {
    SmtpTestServer server({"--stall-in-data"});
    Programm p(anServer(server));
    p.fenster->tageAuswahl()->setCurrentIndex(1);
    ModalAnswerer frage;
    frage.ok();
    QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
    // While a mail goes out the panel covers the table; tool bar and table are out of reach.
    QPushButton* abbrechen = p.fenster->versand()->panel()->abbrechenButton();
    QVERIFY(abbrechen->isVisible() && abbrechen->isEnabled() && !p.wf().versandRuht());
    QVERIFY(!p.fenster->werkzeugleiste()->isVisible() && !p.fenster->tabelle()->isEnabled());
    QCOMPARE(QApplication::focusWidget(), abbrechen);
    QTest::keyClick(abbrechen, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && !p.wf().mehrtagesVersandLaeuft(), 10000);
    QVERIFY(p.fenster->werkzeugleiste()->isVisible() && p.fenster->tabelle()->isEnabled());
    QVERIFY(!p.fenster->versand()->panel()->isVisible() && frage.unerwartet == 0);
    QVERIFY(p.wf().log.lines().back().find("Tage ab dem 08.12.2026 wurden keine") !=
            std::string::npos);
    QVERIFY(p.wf().werte.AktDatum == "20261207" && p.wf().zeilen.Zeilen.size() == 27);
}

// "Tage: 2" mails Monday's and Tuesday's teachers after one question, a round per day, and
// records what a run for each day alone records; afterwards the table shows both days as sent.
// The two days go through STARTTLS: Qt's event loop carries the handshake as the poll loop does.
void SendingGuiTest::twoDaysMailAndRecordAsTwoRunsOfOneDay() {
    using Ergebnis = std::pair<std::multiset<std::string>, std::vector<std::string>>;
    auto versende = [](const std::vector<int>& tageJeLauf, Ergebnis& ergebnis, bool tls) {
        const auto& z = TestCertificates::get().good();
        SmtpTestServer server(tls ? std::vector<std::string>{"--tls-cert", z.cert, "--tls-key",
                                                             z.key, "--require-starttls"}
                                  : std::vector<std::string>{});
        Programm p([&](Einstellungen& e) {
            anServer(server)(e);
            if (!tls)
                return;
            e.Server.SmtpServer = "localhost";
            e.Server.Verbindungssicherheit = 2;
            e.Server.ZusatzCaDatei = TestCertificates::get().caFile();
        });
        for (const int tage : tageJeLauf) {
            p.fenster->tageAuswahl()->setCurrentIndex(tage - 1);
            sende(p, 1);
            // The table shows them as sent: the "gesendet" marker grey on every tick box's line.
            for (const auto& l : p.fenster->tabelle()->linien())
                if (l.haken->isVisible())
                    QVERIFY(!l.haken->isChecked() &&
                            l.markierungen[1]->farbe() == QColor(128, 128, 128));
            if (tage == 1)
                QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
        }
        for (const std::string& datei : server.messageFiles()) { // recipient and subject
            const std::string text = readFile(datei);
            for (const char* kopf : {"\nTo: ", "\nSubject: "}) {
                const std::size_t von = text.find(kopf);
                ergebnis.first.insert(text.substr(von, text.find('\n', von + 1) - von));
            }
            QCOMPARE(server.envelopeOf(datei).find("\"tls\": true") != std::string::npos, tls);
        }
        for (const std::string& satz : p.wf().werte.GesendeteMails) // without the send time
            ergebnis.second.push_back(satz.substr(0, satz.rfind(',')));
    };
    Ergebnis zusammen, einzeln;
    versende({2}, zusammen, true);
    versende({1, 1}, einzeln, false);
    QCOMPARE(zusammen.first.size(), std::size_t(2 * (3 + 2))); // two lines per mail
    QVERIFY(zusammen == einzeln);
}

QTEST_MAIN(SendingGuiTest)
#include "SendingGuiTest.moc"
