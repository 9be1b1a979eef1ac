// The send queue and the session driver against the real SMTP server (aiosmtpd on 127.0.0.1),
// driven by the poll loop, in the clear and encrypted: what is asked, what goes out, what is
// recorded, and what is not.
#include "core/MainWorkflow.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/SettingsFile.h"
#include "smtp/PollEventLoop.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::RecordingUi;
using testing::SmtpTestServer;
using testing::TestCertificates;
using Texte = std::vector<std::string>;

const std::string Marke = "==========> Tafelbot-Info: ";
const std::string AlterRecord = "20261207,9,D,MUE,\"9a\",R9,,,0,202612061200";
const std::string FremderTag = "20261204,1,D,MUE,\"5a\",R1,,,0,202612031200";
const std::string Aktion = "Fehler bei folgender SMTP-Server-Aktion: ";

TVZeile zeile(int lehrer, const std::string& vertreter, const std::string& stunde,
              const std::string& kurz) {
    TVZeile z;
    z.LehrerIndex = lehrer;
    z.Vertreter = vertreter;
    z.Stunde = stunde;
    z.HatEMail = lehrer != 2;
    z.Senden = true;
    z.Geaendert = kurz == "MUE"; // Müller was mailed for the date before
    z.Schluessel = "20261207," + stunde + ",D," + kurz + ",\"5a\",R1,,,0";
    return z;
}

std::vector<std::string> mitArgumenten(std::vector<std::string> argumente,
                                       const TestCertificates::Pair* zertifikat = nullptr) {
    if (zertifikat)
        argumente.insert(argumente.begin(),
                         {"--tls-cert", zertifikat->cert, "--tls-key", zertifikat->key});
    return argumente;
}
const std::vector<std::string> StartTlsPflicht = {"--require-starttls", "--auth-require-tls"};
const std::vector<std::string> TlsVonAnfang = {"--implicit-tls"};

// A workflow with four teachers (Anna Müller with two rows; Carl Müller, whose name shows the
// same, and Schmidt with one each; Ohne without an address), a server, and the poll loop the
// client runs on.
struct Sendeumgebung {
    explicit Sendeumgebung(const std::vector<std::string>& optionen = {}) : server(optionen) {
        w.attachEventLoop(loop);
        w.sitzungsZeitlimit = 20s;
        Einstellungen& e = w.werte;
        e.AktDatum = "20261207";
        w.wochentagLabel = "Montag";
        w.datumFeld = "07.12.2026";
        e.Server.SmtpServer = "127.0.0.1";
        e.Server.Port = server.portText();
        e.Server.Kontoname = "konto";
        e.Server.Kennwort = "geheim";
        e.Server.Absender = "buero@schule.test";
        e.Server.Authentifizierung = 1;
        e.Server.ZusatzCaDatei = TestCertificates::get().caFile();
        e.GesendeteMails = {AlterRecord, FremderTag};
        w.plan.Lehrer = {{true, "MUE", "Müller"_cp, "Anna", "mueller@schule.test"},
                         {true, "SCH", "Schmidt", "Bernd", "schmidt@schule.test"},
                         {false, "OHN", "Ohne", "Otto", ""},
                         {true, "MUL", "Müller"_cp, "Carl", "carl@schule.test"}};
        w.zeilen.Zeilen = {zeile(0, "Müller"_cp, "3", "MUE"), zeile(1, "Schmidt", "1", "SCH"),
                           zeile(2, "Ohne", "2", "OHN"), zeile(0, "Müller"_cp, "5", "MUE"),
                           zeile(3, "Müller"_cp, "4", "MUL")};
        w.zeilen.ZeilenFolge = {2, 0, 3, 4, 1};
        w.tabelle.uebergabe(5);
    }

    void laufe() {
        ASSERT_TRUE(loop.runUntil([&] { return w.versandRuht(); }, 30s));
    }
    void sende() {
        ui.answers = {true};
        w.sendeMarkierte();
        laufe();
    }
    Texte marken(const std::string& anfang) const {
        Texte gefunden;
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
    const TVZeile& row(std::size_t i) const { return w.zeilen.Zeilen[i]; }

    testing::FixedClock uhr{{2026, 12, 7, 6, 45, 0, 0, 1}};
    SmtpTestServer server;
    testing::TempDir dir;
    RecordingUi ui;
    PollEventLoop loop; // outlives the workflow's client
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
};

TEST(SendingTest, MarkedTeachersGoOneByOneAndEveryRowIsRecorded) {
    Sendeumgebung u;
    u.sende();
    EXPECT_EQ(u.ui.boxes, (std::vector<RecordingUi::Box>{
                              {"question", "Sollen nun eMails an die folgenden Empfänger "
                                           "versendet werden?\n\r\n\r"
                                           "          1.   Anna Müller\n\r"
                                           "          2.   Carl Müller\n\r"
                                           "          3.   Bernd Schmidt"_cp}}));
    ASSERT_EQ(u.server.messageFiles().size(), 3u);
    const std::string stamp = ",202612070645";
    const Texte records = {"20261207,1,D,SCH,\"5a\",R1,,,0" + stamp,
                           "20261207,4,D,MUL,\"5a\",R1,,,0" + stamp,
                           "20261207,5,D,MUE,\"5a\",R1,,,0" + stamp,
                           "20261207,3,D,MUE,\"5a\",R1,,,0" + stamp, FremderTag};
    EXPECT_EQ(u.w.werte.GesendeteMails, records);
    for (std::size_t i : {0, 1, 3, 4})
        EXPECT_TRUE(!u.row(i).Senden && u.row(i).Gesendet && !u.row(i).Geaendert) << i;
    EXPECT_EQ(u.w.log.lines().back(), Marke + "3 von 3 eMails versendet; 1 Lehrkraft ohne "
                                              "eMail-Adresse nicht benachrichtigt <==========");

    // A highlighted teacher who cannot be mailed.
    for (const Lehrerkennung& filter :
         {Lehrerkennung{-1, "Niemand"}, Lehrerkennung{2, ""}, Lehrerkennung{1, ""}}) {
        u.w.tabelle.Lehrerfilter = filter;
        u.w.sendeMarkierte();
    }
    EXPECT_EQ(u.ui.boxTexts("error"),
              (Texte{"Konnte Markierung nicht zuordnen und keine eMail senden!",
                     "Für den markierten Lehrer ist keine eMail-Adresse vorhanden!"_cp,
                     "Für den markierten Lehrer ist die eMail-Option nicht ausgewählt!"_cp}));
}

// The password is asked only where the server wants one, once per run, and again after it was
// refused; no answer ends the run.
TEST(SendingTest, AnUnsavedPasswordIsAskedOncePerRunAndAgainAfterARefusal) {
    struct Fall {
        int authentifizierung;
        Texte antworten;
        std::size_t mails;
    };
    for (const Fall& f : {Fall{0, {}, 3}, Fall{1, {"geheim"}, 3}, Fall{1, {""}, 0},
                          Fall{1, {"falsch", "geheim"}, 3}}) {
        SCOPED_TRACE(f.antworten.empty() ? "" : f.antworten[0]);
        Sendeumgebung u;
        u.w.werte.Server.Authentifizierung = f.authentifizierung;
        u.w.werte.Server.KennwortSpeichern = false;
        u.ui.passwords = {f.antworten.begin(), f.antworten.end()};
        for (std::size_t lauf = 0; lauf < std::max<std::size_t>(f.antworten.size(), 1); ++lauf)
            u.sende();
        EXPECT_EQ(u.server.messageFiles().size(), f.mails);
        EXPECT_EQ(u.ui.passwordRequests.size(), f.antworten.size());
        EXPECT_EQ(u.ui.boxTexts("error").size(), f.antworten.size() == 2 ? 1u : 0u);
        EXPECT_EQ(u.w.versandFehlerfrei(), f.mails == 3);
        EXPECT_FALSE(u.w.sendePanel.sichtbar);
    }
}

// Every way a session can fail ends it without a record; the marks stay for the next press.
TEST(SendingTest, FailedSessionsRecordNothing) {
    struct Fall {
        std::vector<std::string> optionen;
        std::string erwartet; // start of the error box, empty for none
        std::string hinweis;  // its last line: what to check
        bool abbrechen = false;
        std::string port = {}; // instead of the server's
    };
    const std::vector<Fall> faelle = {
        {{"--refuse-recipient", "schmidt@schule.test"},
         Aktion + "smtpRcptTo (Prüfung der Empfängernamen)"_cp,
         "Bitte die eMail-Adresse des Empfängers und die Kopie-Adresse prüfen."_cp},
        {{"--refuse-password"},
         Aktion + "smtpAuth (Authentifizierung)",
         "Bitte den Namen des eMail-Kontos und das Kennwort (bzw. die Anmeldung) prüfen."_cp},
        {{"--drop-in-data"},
         Aktion + "smtpData (Versenden der Daten)",
         "Bitte die Verbindung zum Server prüfen und den Versand wiederholen."_cp},
        {{"--stall-in-data"},
         "Der SMTP-Server hat die Sitzung nicht innerhalb von 1 Sekunde",
         "Bitte die Verbindung zum Server prüfen oder das Zeitlimit erhöhen (Zeitlimit= in der "
         "Einstellungsdatei, beim Kommandozeilenprogramm --timeout)."_cp},
        {{"--stall-in-data"}, "", "", true},
        {{},
         Aktion + "smtpConnect (Verbindung aufbauen)",
         "Bitte Server, Port und Verbindungssicherheit in den Einstellungen prüfen."_cp,
         false,
         "1"},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.erwartet + (fall.abbrechen ? " cancelled" : ""));
        Sendeumgebung u(mitArgumenten(fall.optionen));
        u.w.werte.Server.KopieSenden = true; // an accepted copy must not hide a refusal
        u.w.werte.Server.KopieAn = "kontrolle@schule.test";
        // The desktop program's limit is the setting; the command line's overrides it.
        u.w.sitzungsZeitlimit = fall.abbrechen ? 20s : 0s;
        u.w.werte.Server.Zeitlimit = 1;
        if (!fall.port.empty())
            u.w.werte.Server.Port = fall.port;
        u.w.tabelle.Lehrerfilter = Lehrerkennung{1, ""}; // Schmidt
        u.w.sendeMarkierte();
        if (fall.abbrechen) {
            ASSERT_TRUE(u.loop.runUntil([&] { return u.w.log.lines().back() == "> ."; }, 20s));
            u.w.brecheVersandAb();
        }
        u.laufe();

        const auto fehler = u.ui.boxTexts("error");
        ASSERT_EQ(fehler.size(), fall.erwartet.empty() ? 0u : 1u);
        if (!fall.erwartet.empty()) {
            EXPECT_EQ(fehler[0].substr(0, fall.erwartet.size()), fall.erwartet);
            EXPECT_EQ(fehler[0].substr(fehler[0].rfind("\n\r") + 2), fall.hinweis);
        }
        EXPECT_EQ(u.w.versandlauf.zusammenfassung, "0 von 1 eMail versendet");
        EXPECT_FALSE(u.w.versandFehlerfrei());
        EXPECT_EQ(u.marken("Aktion durch den Benutzer abgebrochen!").size(),
                  fall.abbrechen ? 1u : 0u);
        EXPECT_TRUE(u.server.messageFiles().empty());
        EXPECT_EQ(u.w.werte.GesendeteMails, (Texte{AlterRecord, FremderTag}));
        EXPECT_TRUE(u.row(1).Senden && !u.row(1).Gesendet);
        EXPECT_FALSE(u.w.sendePanel.sichtbar || u.w.versandLaeuft());
    }
}

// Carl and Anna Müller show the same name: the teacher is told by index, in the mail, the marks
// and the records, and a changed plan finds Carl's own earlier record (else a box asks for it).
TEST(SendingTest, TeachersOfOneNameAreToldApart) {
    Sendeumgebung u;
    for (bool geaendert : {false, true}) {
        u.w.zeilen.Zeilen[4].Senden = true;
        u.w.zeilen.Zeilen[4].Geaendert = geaendert;
        u.w.sendeAnLehrer(3);
        u.laufe();
    }
    EXPECT_TRUE(u.ui.boxes.empty());
    ASSERT_EQ(u.server.messageFiles().size(), 2u);
    for (const auto& datei : u.server.messageFiles())
        EXPECT_NE(u.server.envelopeOf(datei).find("carl@schule.test"), std::string::npos);
    EXPECT_EQ(u.w.werte.GesendeteMails,
              (Texte{"20261207,4,D,MUL,\"5a\",R1,,,0,202612070645", AlterRecord, FremderTag}));
    EXPECT_TRUE(u.row(0).Senden && !u.row(0).Gesendet);
}

// An address that is none is named and its teacher skipped; the others are mailed, and the run
// counts as failed.
TEST(SendingTest, BadAddressesAreSkippedAndTheOthersMailed) {
    Sendeumgebung u;
    u.w.plan.Lehrer[0].EMail = "mueller@schule.test\r";
    u.w.plan.Lehrer[1].EMail = "schmidt@schule.test> NOTIFY=NEVER";
    u.sende();
    const Texte fehler = u.ui.boxTexts("error");
    ASSERT_EQ(fehler.size(), 2u);
    EXPECT_EQ(fehler[0], "Die eMail-Adresse \"mueller@schule.test<CR>\" von Anna Müller (MUE) ist "
                         "keine gültige Adresse; diese Lehrkraft bekommt keine eMail.\n\r"
                         "Bitte die Adresse in gp-Untis berichtigen."_cp);
    EXPECT_EQ(u.ui.boxTexts("question"),
              Texte{"Sollen nun eMails an die folgenden Empfänger versendet werden?\n\r\n\r"
                    "          1.   Carl Müller"_cp});
    ASSERT_EQ(u.server.messageFiles().size(), 1u);
    EXPECT_TRUE(u.row(1).Senden && u.row(4).Gesendet);
    EXPECT_EQ(u.w.versandlauf.zusammenfassung,
              "1 von 3 eMails versendet; 2 Lehrkräfte mit ungültiger eMail-Adresse übersprungen; "
              "1 Lehrkraft ohne eMail-Adresse nicht benachrichtigt"_cp);
    EXPECT_FALSE(u.w.versandFehlerfrei());
    EXPECT_FALSE(u.w.mailZeilen(0).has_value());
}

int vollBeimSchreiben(platform::SaveStep step) {
    return step == platform::SaveStep::Write ? ENOSPC : 0;
}

// A mail that went out while the settings file could not be written stays recorded in memory
// (also when the settings are read again), the queue stops there, and the next save that
// succeeds writes its record.
TEST(SendingTest, AMailSentWhileTheDiskIsFullIsWrittenByTheNextSave) {
    Sendeumgebung u;
    ASSERT_TRUE(IniSchreiben(u.w.werte, u.w.iniPfad, u.ui));
    platform::setSaveStepHookForTesting(vollBeimSchreiben);
    u.sende();
    platform::setSaveStepHookForTesting(nullptr);

    EXPECT_EQ(u.server.messageFiles().size(), 1u) << "the queue stops after the failed write";
    const auto fehler = u.ui.boxTexts("error");
    ASSERT_EQ(fehler.size(), 2u); // the failed write, then what it means for the mail
    EXPECT_EQ(fehler[1].rfind("Die eMail an Anna Müller wurde verschickt, "_cp, 0), 0u);
    EXPECT_NE(fehler[1].find("\n\rGelingt kein späteres Speichern, bekommt Anna Müller sie beim "
                             "nächsten Versand noch einmal"_cp),
              std::string::npos);
    EXPECT_EQ(u.w.versandlauf.zusammenfassung,
              "1 von 3 eMails versendet; 1 eMail nicht vermerkt; 1 Lehrkraft ohne eMail-Adresse "
              "nicht benachrichtigt");
    EXPECT_FALSE(u.w.versandFehlerfrei());
    u.w.einstellungenAbbrechen(); // reads the file again, which lacks the records
    EXPECT_TRUE(u.row(0).Gesendet && !u.row(0).Senden && u.row(1).Senden);

    u.sende(); // the others now; the save writes Anna's records as well
    EXPECT_EQ(u.server.messageFiles().size(), 3u) << "Anna is not mailed again";
    const std::string nachher = testing::readFile(u.w.iniPfad);
    for (const char* satz : {"3,D,MUE", "5,D,MUE", "1,D,SCH", "4,D,MUL"})
        EXPECT_NE(nachher.find("20261207," + std::string(satz) + ",\"5a\",R1,,,0,202612070645"),
                  std::string::npos)
            << satz;
    EXPECT_FALSE(u.w.aufzeichnungOffen);
}

// (That a test mail is never recorded: the command line's test-mail test.)
TEST(SendingTest, BadRecipientsStopBeforeAConnectionAndATestMailIsPlainText) {
    Sendeumgebung u;
    EXPECT_FALSE(u.w.testMailSenden("   ", "Test", {}));
    EXPECT_FALSE(u.w.testMailSenden("a@schule.test\r\nBcc: b@schule.test", "Test", {}));
    EXPECT_EQ(u.ui.boxTexts("error"),
              (Texte{"Kann eMail nicht senden: Empfängeradresse fehlt!"_cp,
                     "Kann eMail nicht senden: Die Angabe \"a@schule.test\r\nBcc: b@schule.test\" "
                     "enthält einen Zeilenumbruch oder ein Nullzeichen!"_cp}));
    EXPECT_FALSE(u.w.versandLaeuft());

    EXPECT_TRUE(u.w.testMailSenden("a@schule.test", "Test", {"Hallo", ""}));
    u.laufe();
    ASSERT_EQ(u.server.messageFiles().size(), 1u);
    const std::string mail = testing::readFile(u.server.messageFiles()[0]);
    EXPECT_NE(mail.find("Content-Type: text/plain"), std::string::npos);
    EXPECT_NE(mail.find("\r\n\r\nHallo\r\n\r\n\r\nDiese Mail wurde mit dem Programm "),
              std::string::npos);
    EXPECT_NE(mail.find("\r\nam 07.12.2026 um 06.45 Uhr erstellt.\r\n"), std::string::npos);
}

// Every mode, without AUTH and with every AUTH method, over an encrypted connection against the
// server with the tests' own certificates, delivers to a server whose certificate passes:
// through the extra CA file, or, like every OpenSSL program, through SSL_CERT_FILE (a server
// given by its address is checked against the address in its certificate). A certificate that
// fails verification (also a good one when no store trusts its CA) refuses the server with its
// reason, or lets it pass with a warning at every mail when the exception is switched on. (The
// mail read back by Python's mail parser: tests/integration/SmtpRealServerTest.cpp.)
TEST(SendingTest, EncryptedSessionsDeliverToAVerifiedServerOrWithAWarning) {
    const auto& z = TestCertificates::get();
    enum Vertrauen { CaDatei, Umgebung, Keines };
    struct Fall {
        const TestCertificates::Pair* zertifikat;
        std::vector<std::string> server;
        int sicherheit;
        int auth;
        Vertrauen vertrauen = CaDatei;
        std::string grund = {};  // why the certificate fails, empty when it passes
        std::string aktion = {}; // the action the refusal names
    };
    const std::string ohneCa = "ist nicht vertrauenswürdig (unable to get local issuer "
                               "certificate)"_cp;
    const std::string ehlo = "smtpEhlo (Begrüßung des Servers)"_cp;
    // STARTTLS needs EHLO, even without AUTH; the automatic mode uses it when offered.
    const Fall faelle[] = {
        {&z.good(), StartTlsPflicht, smtpSecurityStartTls, 0},
        {&z.good(), {}, smtpSecurityAuto, 0},
        {&z.good(), TlsVonAnfang, smtpSecurityTls, 1},
        {&z.good(), StartTlsPflicht, smtpSecurityStartTls, 2},
        {&z.good(), {}, smtpSecurityAuto, 3},
        {&z.good(), TlsVonAnfang, smtpSecurityTls, 4, Umgebung},
        {&z.good(), StartTlsPflicht, smtpSecurityStartTls, 5},
        {&z.unknownCa(), StartTlsPflicht, smtpSecurityAuto, 2, CaDatei, ohneCa, ehlo},
        {&z.otherName(), TlsVonAnfang, smtpSecurityTls, 2, CaDatei,
         "ist nicht für den Namen \"localhost\" ausgestellt (hostname mismatch)"_cp,
         "smtpConnect (Verbindung aufbauen)"},
        {&z.good(), StartTlsPflicht, smtpSecurityAuto, 2, Keines, ohneCa, ehlo},
        {&z.expired(), StartTlsPflicht, smtpSecurityAuto, 2, CaDatei,
         "ist abgelaufen (certificate has expired)", ehlo}};
    const char* mechanismus[] = {"null",       "\"PLAIN",     "\"LOGIN",
                                 "\"CRAM-MD5", "\"CRAM-SHA1", "\"CRAM-SHA1"};
    for (const Fall& fall : faelle) {
        for (bool ausnahme : {false, true}) {
            if (ausnahme && fall.grund.empty())
                continue;
            SCOPED_TRACE(std::to_string(fall.sicherheit) + " " + mechanismus[fall.auth] + " " +
                         fall.grund + (ausnahme ? ", accepted" : ""));
            Sendeumgebung u(mitArgumenten(fall.server, fall.zertifikat));
            if (fall.vertrauen != CaDatei)
                u.w.werte.Server.ZusatzCaDatei.clear();
            if (fall.vertrauen == Umgebung)
                ::setenv("SSL_CERT_FILE", z.caFile().c_str(), 1);
            else
                u.w.werte.Server.SmtpServer = "localhost";
            u.w.werte.Server.Authentifizierung = fall.auth;
            u.w.werte.Server.Verbindungssicherheit = fall.sicherheit;
            u.w.werte.Server.ZertifikatUngeprueftAnnehmen = ausnahme;
            u.sende();
            ::unsetenv("SSL_CERT_FILE");
            const std::string grund = "Das Zertifikat des Servers " + fall.grund;
            if (!fall.grund.empty() && !ausnahme) {
                EXPECT_EQ(u.ui.boxTexts("error"),
                          Texte{Aktion + fall.aktion + "\n\r" + grund + "\n\r" +
                                "Bitte das Zertifikat des Servers prüfen, oder in den "
                                "Einstellungen die Ausnahme für ungeprüfte Zertifikate bzw. die "
                                "zusätzliche CA-Datei."_cp});
                EXPECT_TRUE(u.server.messageFiles().empty()); // nothing recorded: as any failure
                continue;
            }
            EXPECT_EQ(u.ui.boxTexts("error"), Texte{});
            // Connect, Ehlo, (Auth,) MailFrom, RcptTo, Data, Quit
            EXPECT_EQ(u.kette(), fall.auth ? " 0 10 11 2 4 5 6" : " 0 10 2 4 5 6");
            ASSERT_EQ(u.server.messageFiles().size(), 3u);
            for (const std::string& mail : u.server.messageFiles()) {
                const std::string umschlag = u.server.envelopeOf(mail);
                EXPECT_NE(umschlag.find("\"tls\": true"), std::string::npos);
                EXPECT_NE(umschlag.find(std::string("\"mechanism\": ") + mechanismus[fall.auth]),
                          std::string::npos)
                    << umschlag;
            }
            const auto tls = u.marken("TLS: TLSv1.3, ");
            EXPECT_EQ(tls.size(), 3u);
            for (const std::string& l : tls)
                EXPECT_NE(l.find(ausnahme ? ", Zertifikat NICHT geprüft"_cp
                                          : ", Zertifikat geprüft <"_cp),
                          std::string::npos)
                    << l;
            EXPECT_EQ(u.marken("WARNUNG: "),
                      ausnahme ? Texte(3, "WARNUNG: " + grund +
                                              "! Es wird trotzdem angenommen, weil in den "
                                              "Server-Einstellungen \"Zertifikat des Servers auch "
                                              "ungeprüft annehmen\" gewählt ist. <=========="_cp)
                               : Texte{});
        }
    }
}

} // namespace
} // namespace tafelbot
