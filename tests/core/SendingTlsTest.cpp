// The send driver over encrypted connections, against the real server with the tests' own
// certificates: what it logs, how it greets, what it says when the encryption fails.
#include "core/MainWorkflow.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "smtp/PollEventLoop.h"
#include "support/RecordingUi.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::RecordingUi;
using testing::SmtpTestServer;
using testing::TestCertificates;

const std::string Marke = "==========> Tafelbot-Info: ";

SmtpTestServer::Options tlsServer(const TestCertificates::Pair& zertifikat,
                                  std::vector<std::string> weitere) {
    SmtpTestServer::Options optionen;
    optionen.extraArguments = {"--tls-cert", zertifikat.cert, "--tls-key", zertifikat.key};
    optionen.extraArguments.insert(optionen.extraArguments.end(), weitere.begin(), weitere.end());
    return optionen;
}

TVZeile zeile(int lehrer, const std::string& vertreter, const std::string& kurz) {
    TVZeile z;
    z.LehrerIndex = lehrer;
    z.Vertreter = vertreter;
    z.Stunde = "3";
    z.HatEMail = true;
    z.Senden = true;
    z.Schluessel = "20261207,3,D," + kurz + ",\"5a\",R1,,,0";
    return z;
}

// Two marked teachers, the server given by name, its CA as the extra CA file.
struct Umgebung {
    explicit Umgebung(SmtpTestServer::Options optionen) : server(std::move(optionen)) {
        w.attachEventLoop(loop);
        w.sitzungsZeitlimit = 20s;
        Einstellungen& e = w.werte;
        e.AktDatum = "20261207";
        e.Server.SmtpServer = "localhost";
        e.Server.Port = server.portText();
        e.Server.Kontoname = "konto";
        e.Server.Kennwort = "geheim";
        e.Server.Absender = "buero@schule.test";
        e.Server.Authentifizierung = 1;
        e.Server.ZusatzCaDatei = TestCertificates::get().caFile();
        w.plan.Lehrer = {{true, "MUE", "Müller"_cp, "Anna", "mueller@schule.test"},
                         {true, "SCH", "Schmidt", "Bernd", "schmidt@schule.test"}};
        w.zeilen.Zeilen = {zeile(0, "Müller"_cp, "MUE"), zeile(1, "Schmidt", "SCH")};
        w.zeilen.ZeilenFolge = {0, 1};
        w.tabelle.uebergabe(2);
    }

    void sendeAlle() {
        ui.answers = {true};
        w.SpeedButton5Click();
        ASSERT_TRUE(loop.runUntil([&] { return w.versandRuht(); }, 30s));
    }
    std::vector<std::string> marken(const std::string& anfang) const {
        std::vector<std::string> gefunden;
        for (const std::string& l : w.log.lines())
            if (l.rfind(Marke + anfang, 0) == 0)
                gefunden.push_back(l);
        return gefunden;
    }

    SmtpTestServer server;
    testing::TempDir dir;
    RecordingUi ui;
    PollEventLoop loop; // outlives the workflow's client
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
};

TEST(SendingTlsTest, StartTlsRequiredGreetsWithEhloEvenWithoutAuthAndLogsTheSession) {
    Umgebung u(tlsServer(TestCertificates::get().good(), {"--require-starttls"}));
    u.w.werte.Server.Authentifizierung = 0;
    u.w.werte.Server.Verbindungssicherheit = smtpSecurityStartTls;
    u.sendeAlle();
    EXPECT_EQ(u.ui.boxTexts("error"), std::vector<std::string>{});
    ASSERT_EQ(u.server.messageFiles().size(), 2u);
    EXPECT_NE(u.server.envelopeOf(u.server.messageFiles()[1]).find("\"tls\": true"),
              std::string::npos);
    // Connect, Ehlo (with STARTTLS inside), MailFrom, RcptTo, Data, Quit.
    std::vector<std::string> kette;
    for (const std::string& l : u.marken("RequestDone Rq=")) {
        const std::size_t rq = l.find("Rq=") + 3;
        if (kette.size() < 6)
            kette.push_back(l.substr(rq, l.find(' ', rq) - rq));
    }
    EXPECT_EQ(kette, (std::vector<std::string>{"0", "10", "2", "4", "5", "6"}));
    auto tls = u.marken("TLS: TLSv1.3, ");
    ASSERT_EQ(tls.size(), 2u);
    EXPECT_NE(tls[0].find(", Zertifikat geprüft <"_cp), std::string::npos) << tls[0];
    EXPECT_TRUE(u.marken("WARNUNG").empty());
    EXPECT_EQ(u.w.werte.GesendeteMails.size(), 2u);
}

TEST(SendingTlsTest, TheAutomaticModeKeepsHeloWithoutAuthAndUsesStartTlsWithAuth) {
    for (int auth : {0, 2}) {
        SCOPED_TRACE(auth);
        Umgebung u(tlsServer(TestCertificates::get().good(), {}));
        u.w.werte.Server.Authentifizierung = auth;
        u.sendeAlle();
        ASSERT_EQ(u.server.messageFiles().size(), 2u);
        const bool verschluesselt =
            u.server.envelopeOf(u.server.messageFiles()[0]).find("\"tls\": true") !=
            std::string::npos;
        EXPECT_EQ(verschluesselt, auth != 0);
        EXPECT_EQ(u.marken("TLS: ").size(), auth != 0 ? 2u : 0u);
    }
}

TEST(SendingTlsTest, ACertificateTakenUnverifiedIsWarnedAboutAtEveryMail) {
    Umgebung u(tlsServer(TestCertificates::get().unknownCa(), {"--implicit-tls"}));
    u.w.werte.Server.Verbindungssicherheit = smtpSecurityTls;
    u.w.werte.Server.ZertifikatUngeprueftAnnehmen = true;
    u.sendeAlle();
    EXPECT_EQ(u.server.messageFiles().size(), 2u);
    auto warnungen = u.marken("WARNUNG: Das Zertifikat des Servers ist nicht vertrauensw");
    ASSERT_EQ(warnungen.size(), 2u);
    EXPECT_NE(warnungen[0].find("\"Zertifikat des Servers auch ungeprüft annehmen\""_cp),
              std::string::npos)
        << warnungen[0];
    EXPECT_NE(u.marken("TLS: ")[0].find("Zertifikat NICHT geprüft"_cp), std::string::npos);
}

TEST(SendingTlsTest, AFailedVerificationNamesItsReasonAndRecordsNothing) {
    const std::string aktion = "Fehler bei folgender SMTP-Server-Aktion: ";
    struct Fall {
        std::vector<std::string> serverArgumente;
        int sicherheit;
        std::string box;
    };
    const Fall faelle[] = {
        {{},
         smtpSecurityAuto,
         aktion + "smtpEhlo (Begrüßung des Servers)\n\rDas Zertifikat des Servers ist "
                  "nicht für den Namen \"localhost\" ausgestellt (hostname mismatch)"_cp},
        {{"--implicit-tls"},
         smtpSecurityTls,
         aktion + "smtpConnect (Verbindung aufbauen)\n\rDas Zertifikat des Servers ist nicht "
                  "für den Namen \"localhost\" ausgestellt (hostname mismatch)"_cp},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.sicherheit);
        Umgebung u(tlsServer(TestCertificates::get().otherName(), fall.serverArgumente));
        u.w.werte.Server.Verbindungssicherheit = fall.sicherheit;
        u.sendeAlle();
        EXPECT_EQ(u.ui.boxTexts("error"), std::vector<std::string>{fall.box});
        EXPECT_TRUE(u.server.messageFiles().empty());
        EXPECT_TRUE(u.w.werte.GesendeteMails.empty());
        EXPECT_TRUE(u.w.zeilen.Zeilen[0].Senden && !u.w.zeilen.Zeilen[0].Gesendet);
        EXPECT_FALSE(u.w.sendePanel.sichtbar || u.w.sending);
        EXPECT_EQ(u.marken("ACHTUNG FEHLER! RequestDone").size(), 1u);
    }
}

} // namespace
} // namespace tafelbot
