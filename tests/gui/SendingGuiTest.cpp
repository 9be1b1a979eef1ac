// "eMail(s) senden" in the real window, on Qt's event loop, against a real SMTP server, in plain
// text and through STARTTLS.
#include "GuiTestSupport.h"
#include "app/SendingView.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

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

// The teachers whose rows carry the mark, each once.
std::set<std::string> markiert(MainWorkflow& w) {
    std::set<std::string> namen;
    for (const TVZeile& z : w.zeilen.Zeilen)
        if (z.HatEMail && z.Senden)
            namen.insert(z.Vertreter);
    return namen;
}

// Highlights the teacher of the first ticked line and sends: no question, one mail.
std::size_t sendeErstenMarkiertenAllein(Programm& p, const SmtpTestServer& server) {
    const auto& linien = p.fenster->tabelle()->linien();
    std::size_t linie = 0;
    while (!linien[linie].haken->isChecked())
        ++linie;
    QTest::mouseClick(linien[linie].nummer, Qt::LeftButton);
    std::string lehrer; // the name the highlighted teacher's rows show
    for (const TVZeile& z : p.wf().zeilen.Zeilen)
        if (lehrer.empty() && p.wf().tabelle.Lehrerfilter == kennungDer(z))
            lehrer = z.Vertreter;
    ModalAnswerer keineFrage;
    QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
    [&] {
        QVERIFY(markiert(p.wf()).count(lehrer));
        QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && !markiert(p.wf()).count(lehrer), 30000);
        QCOMPARE(keineFrage.texte, QStringList());
        QCOMPARE(keineFrage.unerwartet, 0);
        QCOMPARE(server.messageFiles().size(), std::size_t(1));
    }();
    return linie;
}

} // namespace

class SendingGuiTest : public QObject {
    Q_OBJECT
private slots:
    void highlightedTeacherAloneThenEveryMarkedTeacher();
    void testMailLeavesTheDialogAndRecordsNothing();
    void sendsThroughStartTls();
    void cancelEndsTheWaitForASilentServer();
    void twoDaysMailAndRecordAsTwoRunsOfOneDay();
};

void SendingGuiTest::highlightedTeacherAloneThenEveryMarkedTeacher() {
    SmtpTestServer server;
    Programm p(anServer(server));
    const auto vorher = markiert(p.wf());
    QVERIFY(vorher.size() >= 3);

    const std::size_t linie = sendeErstenMarkiertenAllein(p, server);
    QCOMPARE(markiert(p.wf()).size(), vorher.size() - 1);

    const auto& linien = p.fenster->tabelle()->linien();
    QTest::mouseClick(linien[linie].nummer, Qt::LeftButton); // highlight off
    ModalAnswerer antworten;
    antworten.ok(); // "Sollen nun eMails ... versendet werden?": Yes
    QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
    // While a mail goes out the panel covers the table; tool bar and table are out of reach.
    QVERIFY(p.fenster->versand()->panel()->isVisible());
    QVERIFY(!p.fenster->werkzeugleiste()->isVisible());
    QVERIFY(!p.fenster->tabelle()->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && markiert(p.wf()).empty(), 30000);
    QCOMPARE(server.messageFiles().size(), vorher.size());
    QVERIFY(antworten.fertig());
    QCOMPARE(antworten.unerwartet, 0);
    QVERIFY(!p.fenster->versand()->panel()->isVisible());
    QVERIFY(p.fenster->werkzeugleiste()->isVisible() && p.fenster->tabelle()->isEnabled());
    // The table shows them as sent: the "gesendet" marker grey on every line with a tick box.
    for (const auto& l : linien) {
        if (l.haken->isVisible()) {
            QVERIFY(!l.haken->isChecked());
            QCOMPARE(l.markierungen[1]->farbe(), QColor(128, 128, 128));
        }
    }
}

void SendingGuiTest::testMailLeavesTheDialogAndRecordsNothing() {
    SmtpTestServer server;
    Programm p(anServer(server));
    const auto records = p.wf().werte.GesendeteMails;
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
    QVERIFY(p.wf().mailVerschickt());
    QCOMPARE(p.wf().werte.GesendeteMails, records);
    QCOMPARE(antworten.unerwartet, 0);
}

// Qt's event loop carries the handshake as the poll loop does.
void SendingGuiTest::sendsThroughStartTls() {
    const auto& zertifikate = TestCertificates::get();
    SmtpTestServer::Options optionen;
    optionen.requireAuth = true;
    optionen.extraArguments = {"--tls-cert",         zertifikate.good().cert,
                               "--tls-key",          zertifikate.good().key,
                               "--require-starttls", "--auth-require-tls"};
    SmtpTestServer server(optionen);
    Programm p([&](Einstellungen& e) {
        anServer(server)(e);
        e.Server.SmtpServer = "localhost";
        e.Server.Kontoname = "konto";
        e.Server.Kennwort = "geheim";
        e.Server.Authentifizierung = 2;
        e.Server.Verbindungssicherheit = 2;
        e.Server.ZusatzCaDatei = zertifikate.caFile();
    });
    sendeErstenMarkiertenAllein(p, server);
    QVERIFY(server.envelopeOf(server.messageFiles()[0]).find("\"tls\": true") != std::string::npos);
    const auto& log = p.wf().log.lines();
    QVERIFY(std::any_of(log.begin(), log.end(), [](const std::string& zeile) {
        return zeile.find("TLS: TLSv1.3, ") != std::string::npos;
    }));
}

// A server that takes the connection and never says a word: while the run waits for it (at most
// the time limit), "Abbrechen" ends it at once and records nothing.
void SendingGuiTest::cancelEndsTheWaitForASilentServer() {
    struct Horcher {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ~Horcher() { ::close(fd); }
    } horcher;
    QVERIFY(horcher.fd >= 0);
    sockaddr_in adresse{};
    adresse.sin_family = AF_INET;
    adresse.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t laenge = sizeof adresse;
    auto* roh = reinterpret_cast<sockaddr*>(&adresse);
    QVERIFY(::bind(horcher.fd, roh, laenge) == 0 && ::listen(horcher.fd, 4) == 0);
    QVERIFY(::getsockname(horcher.fd, roh, &laenge) == 0); // connections wait unaccepted
    Programm p([&](Einstellungen& e) {
        e.Server.SmtpServer = "127.0.0.1";
        e.Server.Port = std::to_string(ntohs(adresse.sin_port));
        e.Server.Authentifizierung = 0;
        e.Server.Absender = "buero@schule.test";
    });
    const auto records = p.wf().werte.GesendeteMails;
    QTest::mouseClick(p.fenster->tabelle()->linien()[0].nummer, Qt::LeftButton);
    QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
    QPushButton* abbrechen = p.fenster->versand()->panel()->abbrechenButton();
    QVERIFY(abbrechen->isVisible() && abbrechen->isEnabled());
    QCOMPARE(QApplication::focusWidget(), abbrechen);
    QVERIFY(!p.wf().versandRuht());
    QTest::keyClick(abbrechen, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht(), 10000);
    QVERIFY(p.fenster->werkzeugleiste()->isVisible());
    QCOMPARE(p.wf().werte.GesendeteMails, records);
}

// "Tage: 2" mails Monday's and Tuesday's teachers after one question, a round per day, and
// records what a run for each day alone records; afterwards the table shows both days as sent.
void SendingGuiTest::twoDaysMailAndRecordAsTwoRunsOfOneDay() {
    using Ergebnis = std::pair<std::multiset<std::string>, std::vector<std::string>>;
    auto versende = [](const std::vector<int>& tageJeLauf, Ergebnis& ergebnis) {
        SmtpTestServer server;
        Programm p(anServer(server));
        for (const int tage : tageJeLauf) {
            p.fenster->tageAuswahl()->setCurrentIndex(tage - 1);
            ModalAnswerer antworten;
            antworten.ok();
            QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && !p.wf().mehrtagesVersandLaeuft(),
                                     30000);
            QCOMPARE(antworten.unerwartet, 0);
            if (tage == 1)
                QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
        }
        std::multiset<std::string>& post = ergebnis.first; // recipient and subject of each mail
        for (const std::string& datei : server.messageFiles()) {
            const std::string text = readFile(datei);
            for (const char* kopf : {"\nTo: ", "\nSubject: "})
                post.insert(text.substr(text.find(kopf),
                                        text.find('\n', text.find(kopf) + 1) - text.find(kopf)));
        }
        std::vector<std::string>& saetze = ergebnis.second; // the records without their time
        for (const std::string& satz : p.wf().werte.GesendeteMails)
            saetze.push_back(satz.substr(0, satz.rfind(',')));
        QCOMPARE(markiert(p.wf()), std::set<std::string>());
    };
    Ergebnis zusammen, einzeln;
    versende({2}, zusammen);
    versende({1, 1}, einzeln);
    QCOMPARE(zusammen.first.size(), std::size_t(2 * (3 + 2))); // two lines per mail
    QVERIFY(zusammen == einzeln);
}

QTEST_MAIN(SendingGuiTest)
#include "SendingGuiTest.moc"
