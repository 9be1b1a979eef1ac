// "eMail(s) senden" in the real window, on Qt's event loop, against a real SMTP server.
#include "GuiTestSupport.h"
#include "app/SendingView.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "support/SmtpTestServer.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
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

// The teachers whose rows carry the mark, each once.
std::set<std::string> markiert(MainWorkflow& w) {
    std::set<std::string> namen;
    for (const TVZeile& z : w.zeilen.Zeilen)
        if (z.HatEMail && z.Senden)
            namen.insert(z.Vertreter);
    return namen;
}

} // namespace

class SendingGuiTest : public QObject {
    Q_OBJECT
private slots:
    void highlightedTeacherAloneThenEveryMarkedTeacher();
    void testMailLeavesTheDialogAndRecordsNothing();
};

void SendingGuiTest::highlightedTeacherAloneThenEveryMarkedTeacher() {
    SmtpTestServer server;
    Programm p(anServer(server));
    const auto vorher = markiert(p.wf());
    QVERIFY(vorher.size() >= 3);

    // A click on the number of the first ticked line highlights its teacher: sent alone, no
    // question asked.
    const auto& linien = p.fenster->tabelle()->linien();
    std::size_t linie = 0;
    while (!linien[linie].haken->isChecked())
        ++linie;
    QTest::mouseClick(linien[linie].nummer, Qt::LeftButton);
    const std::string lehrer = p.wf().tabelle.Lehrerfilter;
    QVERIFY(vorher.count(lehrer));
    {
        ModalAnswerer keineFrage;
        QTest::mouseClick(p.fenster->sendenButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p.wf().versandRuht() && !markiert(p.wf()).count(lehrer), 30000);
        QCOMPARE(keineFrage.texte, QStringList());
        QCOMPARE(keineFrage.unerwartet, 0);
    }
    QCOMPARE(server.messageFiles().size(), std::size_t(1));
    QCOMPARE(markiert(p.wf()).size(), vorher.size() - 1);

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
    QVERIFY(p.wf().mailSent);
    QCOMPARE(p.wf().werte.GesendeteMails, records);
    QCOMPARE(antworten.unerwartet, 0);
}

QTEST_MAIN(SendingGuiTest)
#include "SendingGuiTest.moc"
