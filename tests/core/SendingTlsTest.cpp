// The send driver over encrypted connections, against the real server (aiosmtpd) with the tests'
// own certificates: every mode with every AUTH method, each mail read back by Python's mail
// parser; the certificate checks that refuse a server with their reason, or let it pass with a
// warning at every mail when the exception is switched on.
#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "smtp/PollEventLoop.h"
#include "support/RecordingUi.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::SmtpTestServer;
using testing::TestCertificates;

const std::string Marke = "==========> Tafelbot-Info: ";
const std::vector<std::string> StartTlsPflicht = {"--require-starttls", "--auth-require-tls"};
const std::vector<std::string> TlsVonAnfang = {"--implicit-tls"};

TVZeile zeile(int lehrer, const std::string& vertreter, const std::string& kurz) {
    TVZeile z;
    z.LehrerIndex = lehrer;
    z.Vertreter = vertreter;
    z.HatEMail = z.Senden = true;
    z.Schluessel = "20261207,3,D," + kurz + ",\"5a\",R1,,,0";
    return z;
}

// Two marked teachers; the server by name, its CA as the extra CA file.
struct Umgebung {
    Umgebung(const TestCertificates::Pair& zertifikat, const std::vector<std::string>& argumente)
        : server([&] {
              SmtpTestServer::Options o;
              o.extraArguments = {"--tls-cert", zertifikat.cert, "--tls-key", zertifikat.key};
              o.extraArguments.insert(o.extraArguments.end(), argumente.begin(), argumente.end());
              return o;
          }()) {
        w.attachEventLoop(loop);
        w.sitzungsZeitlimit = 20s;
        TEinstellungen& s = w.werte.Server;
        w.werte.AktDatum = "20261207";
        s.SmtpServer = "localhost";
        s.Port = server.portText();
        s.Kontoname = "konto";
        s.Kennwort = "geheim";
        s.Absender = "buero@schule.test";
        s.ZusatzCaDatei = TestCertificates::get().caFile();
        w.plan.Lehrer = {{true, "MUE", "Müller"_cp, "Anna", "mueller@schule.test"},
                         {true, "SCH", "Schmidt", "Bernd", "schmidt@schule.test"}};
        w.zeilen.Zeilen = {zeile(0, "Müller"_cp, "MUE"), zeile(1, "Schmidt", "SCH")};
        w.zeilen.ZeilenFolge = {0, 1};
        w.tabelle.uebergabe(2);
    }

    void sende() {
        ui.answers = {true};
        w.sendeMarkierte();
        ASSERT_TRUE(loop.runUntil([&] { return w.versandRuht(); }, 30s));
    }
    std::vector<std::string> marken(const std::string& anfang) const {
        std::vector<std::string> gefunden;
        for (const std::string& l : w.log.lines())
            if (l.rfind(Marke + anfang, 0) == 0)
                gefunden.push_back(l.substr(Marke.size()));
        return gefunden;
    }
    // The request kinds of the first session, from the log.
    std::string kette() const {
        std::string text;
        for (const std::string& l : marken("RequestDone Rq="))
            if (text.find(" 6") == std::string::npos)
                text += " " + l.substr(15, l.find(' ', 15) - 15);
        return text;
    }

    SmtpTestServer server;
    testing::TempDir dir;
    testing::RecordingUi ui;
    PollEventLoop loop; // outlives the workflow's client
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
};

bool parsedWithoutDefects(const std::string& mail) {
    std::string command = std::string(TAFELBOT_SYSTEM_PYTHON) + " " + TAFELBOT_SOURCE_DIR +
                          "/tests/integration/check_mime.py '" + mail + "' >/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SendingTlsTest, EveryModeWithEveryAuthMethodDeliversEncrypted) {
    struct Fall {
        std::vector<std::string> server;
        int sicherheit;
        int auth;
        std::string kette; // of the first session
        const char* mechanismus;
    };
    std::vector<Fall> faelle = {
        // STARTTLS needs EHLO, even without AUTH; the automatic mode uses it when offered.
        {StartTlsPflicht, smtpSecurityStartTls, 0, " 0 10 2 4 5 6", "null"},
        {{}, smtpSecurityAuto, 0, " 0 10 2 4 5 6", "null"},
    };
    const char* mechanismen[] = {"PLAIN", "LOGIN", "CRAM-MD5", "CRAM-SHA1", "CRAM-SHA1"};
    for (int auth = 1; auth <= 5; ++auth) {
        const char* m = mechanismen[auth - 1];
        faelle.push_back({StartTlsPflicht, smtpSecurityStartTls, auth, " 0 10 11 2 4 5 6", m});
        faelle.push_back({{}, smtpSecurityAuto, auth, " 0 10 11 2 4 5 6", m});
        faelle.push_back({TlsVonAnfang, smtpSecurityTls, auth, " 0 10 11 2 4 5 6", m});
    }
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(std::to_string(fall.sicherheit) + fall.kette);
        Umgebung u(TestCertificates::get().good(), fall.server);
        u.w.werte.Server.Authentifizierung = fall.auth;
        u.w.werte.Server.Verbindungssicherheit = fall.sicherheit;
        u.sende();
        EXPECT_EQ(u.ui.boxTexts("error"), std::vector<std::string>{});
        EXPECT_EQ(u.kette(), fall.kette);
        ASSERT_EQ(u.server.messageFiles().size(), 2u);
        const bool verschluesselt = fall.kette != " 0 1 2 4 5 6";
        for (const std::string& mail : u.server.messageFiles()) {
            std::string umschlag = u.server.envelopeOf(mail);
            EXPECT_NE(umschlag.find(std::string("\"tls\": ") + (verschluesselt ? "true" : "false")),
                      std::string::npos);
            EXPECT_NE(umschlag.find(std::string("\"mechanism\": ") + (fall.auth == 0 ? "" : "\"") +
                                    fall.mechanismus),
                      std::string::npos)
                << umschlag;
        }
        EXPECT_TRUE(parsedWithoutDefects(u.server.messageFiles()[0]));
        auto tls = u.marken("TLS: TLSv1.3, ");
        EXPECT_EQ(tls.size(), verschluesselt ? 2u : 0u);
        for (const std::string& l : tls)
            EXPECT_NE(l.find(", Zertifikat geprüft <"_cp), std::string::npos) << l;
        EXPECT_EQ(u.w.werte.GesendeteMails.size(), 2u);
    }
}

TEST(SendingTlsTest, CertificatesThatFailVerificationAreRefusedOrWarnedAboutAtEveryMail) {
    const auto& z = TestCertificates::get();
    struct Fall {
        const TestCertificates::Pair* zertifikat;
        std::vector<std::string> server;
        std::string aktion;
        std::string grund;
    };
    for (const Fall& fall :
         {Fall{&z.unknownCa(), StartTlsPflicht, "smtpEhlo (Begrüßung des Servers)"_cp,
               "ist nicht vertrauenswürdig (unable to get local issuer certificate)"_cp},
          Fall{&z.otherName(), TlsVonAnfang, "smtpConnect (Verbindung aufbauen)",
               "ist nicht für den Namen \"localhost\" ausgestellt (hostname mismatch)"_cp},
          Fall{&z.expired(), StartTlsPflicht, "smtpEhlo (Begrüßung des Servers)"_cp,
               "ist abgelaufen (certificate has expired)"}}) {
        for (bool ausnahme : {false, true}) {
            SCOPED_TRACE(fall.grund + (ausnahme ? ", accepted" : ""));
            Umgebung u(*fall.zertifikat, fall.server);
            u.w.werte.Server.Authentifizierung = 2;
            u.w.werte.Server.Verbindungssicherheit = fall.server == TlsVonAnfang ? 3 : 0;
            u.w.werte.Server.ZertifikatUngeprueftAnnehmen = ausnahme;
            u.sende();
            const std::string grund = "Das Zertifikat des Servers " + fall.grund;
            if (!ausnahme) {
                EXPECT_EQ(u.ui.boxTexts("error"),
                          std::vector<std::string>{
                              "Fehler bei folgender SMTP-Server-Aktion: " + fall.aktion + "\n\r" +
                              grund + "\n\r" +
                              "Bitte das Zertifikat des Servers prüfen, oder in den Einstellungen "
                              "die Ausnahme für ungeprüfte Zertifikate bzw. die zusätzliche "
                              "CA-Datei."_cp});
                EXPECT_TRUE(u.server.messageFiles().empty());
                EXPECT_TRUE(u.w.werte.GesendeteMails.empty());
                EXPECT_TRUE(u.w.zeilen.Zeilen[0].Senden && !u.w.zeilen.Zeilen[0].Gesendet);
                continue;
            }
            EXPECT_EQ(u.server.messageFiles().size(), 2u);
            EXPECT_EQ(u.marken("WARNUNG: "),
                      std::vector<std::string>(
                          2, "WARNUNG: " + grund +
                                 "! Es wird trotzdem angenommen, weil in den Server-Einstellungen "
                                 "\"Zertifikat des Servers auch ungeprüft annehmen\" gewählt "
                                 "ist. <=========="_cp));
            EXPECT_NE(u.marken("TLS: ")[0].find("Zertifikat NICHT geprüft"_cp), std::string::npos);
        }
    }
}

// Like every OpenSSL program, SSL_CERT_FILE names the trusted store. A server given by its
// address is checked against the address in its certificate.
TEST(SendingTlsTest, TheTrustedStoreFollowsSslCertFile) {
    for (bool umgebung : {false, true}) {
        Umgebung u(TestCertificates::get().good(), TlsVonAnfang);
        u.w.werte.Server.SmtpServer = "127.0.0.1";
        u.w.werte.Server.Verbindungssicherheit = smtpSecurityTls;
        u.w.werte.Server.ZusatzCaDatei.clear();
        if (umgebung)
            ::setenv("SSL_CERT_FILE", TestCertificates::get().caFile().c_str(), 1);
        u.sende();
        ::unsetenv("SSL_CERT_FILE");
        EXPECT_EQ(u.server.messageFiles().size(), umgebung ? 2u : 0u);
    }
}

} // namespace
} // namespace tafelbot
