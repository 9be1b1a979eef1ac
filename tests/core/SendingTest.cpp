// The send queue and the session driver against a real SMTP server (aiosmtpd on 127.0.0.1),
// driven by the poll loop: what is asked, what goes out, what is recorded, and what is not.
#include "core/MainWorkflow.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/SettingsFile.h"
#include "smtp/PollEventLoop.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"
#include "support/SmtpTestServer.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::RecordingUi;
using testing::SmtpTestServer;
using Texte = std::vector<std::string>;

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

const std::string AlterRecord = "20261207,9,D,MUE,\"9a\",R9,,,0,202612061200";
const std::string FremderTag = "20261204,1,D,MUE,\"5a\",R1,,,0,202612031200";

// A workflow with four teachers (Anna Müller with two rows; Carl Müller, whose name shows the
// same, and Schmidt with one each; Ohne without an address), a server, and the poll loop the
// client runs on.
struct Sendeumgebung {
    explicit Sendeumgebung(SmtpTestServer::Options optionen = {}) : server(std::move(optionen)) {
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
    std::string rq(int n) {
        return "==========> Tafelbot-Info: RequestDone Rq=" + std::to_string(n) +
               " Error=0 <==========";
    }

    testing::FixedClock uhr{{2026, 12, 7, 6, 45, 0, 0, 1}};
    SmtpTestServer server;
    testing::TempDir dir;
    RecordingUi ui;
    PollEventLoop loop; // outlives the workflow's client
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
};

TEST(SendingTest, MarkedTeachersGoOneByOneAndEveryRowIsRecorded) {
    Sendeumgebung u;
    u.ui.answers = {true};
    u.w.sendeMarkierte();
    u.laufe();

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
    EXPECT_NE(testing::readFile(u.w.iniPfad).find(records[2] + "\r\n" + records[3]),
              std::string::npos);
    for (int i : {0, 1, 3, 4}) {
        const TVZeile& z = u.w.zeilen.Zeilen[static_cast<std::size_t>(i)];
        EXPECT_TRUE(!z.Senden && z.Gesendet && !z.Geaendert) << i;
    }
    // With authentication: Connect, Ehlo, Auth, MailFrom, RcptTo, Data, Quit.
    Texte kette;
    for (const std::string& l : u.w.log.lines())
        if (l.find("RequestDone") != std::string::npos && kette.size() < 7)
            kette.push_back(l);
    EXPECT_EQ(kette, (Texte{u.rq(0), u.rq(10), u.rq(11), u.rq(2), u.rq(4), u.rq(5), u.rq(6)}));
    EXPECT_FALSE(u.w.sendePanel.sichtbar);
    EXPECT_EQ(u.w.log.lines().back(), "==========> Tafelbot-Info: 3 von 3 eMails versendet; 1 "
                                      "Lehrkraft ohne eMail-Adresse nicht benachrichtigt "
                                      "<==========");
    EXPECT_TRUE(u.w.versandFehlerfrei());

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

TEST(SendingTest, UnsavedPasswordIsAskedBeforeTheFirstMailAndAgainAfterAFailure) {
    SmtpTestServer::Options streng;
    streng.requireAuth = true;
    Sendeumgebung u(streng);
    u.w.werte.Server.KennwortSpeichern = false;
    u.ui.answers = {true, true};
    u.ui.passwords = {"falsch", "geheim"};
    u.w.sendeMarkierte();
    u.laufe();
    EXPECT_EQ(u.ui.boxTexts("error"),
              Texte{"Fehler bei folgender SMTP-Server-Aktion: smtpAuth (Authentifizierung)\n\r"
                    "Bitte den Namen des eMail-Kontos und das Kennwort (bzw. die Anmeldung) "
                    "prüfen."_cp});
    EXPECT_EQ(u.w.werte.GesendeteMails, (Texte{AlterRecord, FremderTag}));
    EXPECT_TRUE(u.w.zeilen.Zeilen[0].Senden);

    u.w.sendeMarkierte(); // asked again, then not before the second mail
    u.laufe();
    EXPECT_EQ(u.ui.passwordRequests.size(), 2u);
    EXPECT_EQ(u.server.messageFiles().size(), 3u);
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
    const std::string aktion = "Fehler bei folgender SMTP-Server-Aktion: ";
    const std::vector<Fall> faelle = {
        {{"--refuse-recipient", "schmidt@schule.test"},
         aktion + "smtpRcptTo (Prüfung der Empfängernamen)"_cp,
         "Bitte die eMail-Adresse des Empfängers und die Kopie-Adresse prüfen."_cp},
        {{"--drop-in-data"},
         aktion + "smtpData (Versenden der Daten)",
         "Bitte die Verbindung zum Server prüfen und den Versand wiederholen."_cp},
        {{"--stall-in-data"},
         "Der SMTP-Server hat die Sitzung nicht innerhalb von 1 Sekunde",
         "Bitte die Verbindung zum Server prüfen oder das Zeitlimit erhöhen (Zeitlimit= in der "
         "Einstellungsdatei, beim Kommandozeilenprogramm --timeout)."_cp},
        {{"--stall-in-data"}, "", "", true},
        {{},
         aktion + "smtpConnect (Verbindung aufbauen)",
         "Bitte Server, Port und Verbindungssicherheit in den Einstellungen prüfen."_cp,
         false,
         "1"},
    };
    for (const Fall& fall : faelle) {
        SCOPED_TRACE(fall.erwartet + (fall.abbrechen ? " cancelled" : ""));
        SmtpTestServer::Options optionen;
        optionen.extraArguments = fall.optionen;
        Sendeumgebung u(optionen);
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
        if (fall.abbrechen) {
            EXPECT_NE(std::find(u.w.log.lines().begin(), u.w.log.lines().end(),
                                "==========> Tafelbot-Info: Aktion durch den Benutzer "
                                "abgebrochen! <=========="),
                      u.w.log.lines().end());
        }
        EXPECT_TRUE(u.server.messageFiles().empty());
        EXPECT_EQ(u.w.werte.GesendeteMails, (Texte{AlterRecord, FremderTag}));
        EXPECT_TRUE(u.w.zeilen.Zeilen[1].Senden && !u.w.zeilen.Zeilen[1].Gesendet);
        EXPECT_FALSE(u.w.sendePanel.sichtbar || u.w.versandLaeuft());
    }
}

// Carl and Anna Müller show the same name: the teacher is told by index, in the mail, the marks
// and the records, and a changed plan finds Carl's own earlier record.
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
    const std::string neuer = testing::readFile(u.server.messageFiles()[1]);
    EXPECT_NE(neuer.find("am 07.12.2026 um 06.45 Uhr zugeschickt wurde,"), std::string::npos);
    EXPECT_EQ(u.w.werte.GesendeteMails,
              (Texte{"20261207,4,D,MUL,\"5a\",R1,,,0,202612070645", AlterRecord, FremderTag}));
    EXPECT_TRUE(u.w.zeilen.Zeilen[0].Senden && !u.w.zeilen.Zeilen[0].Gesendet);
    EXPECT_TRUE(u.w.versandFehlerfrei());
}

// An address that is none is named and its teacher skipped; the others are mailed, and the run
// counts as failed.
TEST(SendingTest, BadAddressesAreSkippedAndTheOthersMailed) {
    Sendeumgebung u;
    u.w.plan.Lehrer[0].EMail = "mueller@schule.test\r";
    u.w.plan.Lehrer[1].EMail = "schmidt@schule.test> NOTIFY=NEVER";
    u.ui.answers = {true};
    u.w.sendeMarkierte();
    u.laufe();

    const Texte fehler = u.ui.boxTexts("error");
    ASSERT_EQ(fehler.size(), 2u);
    EXPECT_EQ(fehler[0], "Die eMail-Adresse \"mueller@schule.test<CR>\" von Anna Müller (MUE) ist "
                         "keine gültige Adresse; diese Lehrkraft bekommt keine eMail.\n\r"
                         "Bitte die Adresse in gp-Untis berichtigen."_cp);
    EXPECT_NE(fehler[1].find("\"schmidt@schule.test> NOTIFY=NEVER\" von Bernd Schmidt (SCH)"),
              std::string::npos);
    EXPECT_EQ(u.ui.boxTexts("question"),
              Texte{"Sollen nun eMails an die folgenden Empfänger versendet werden?\n\r\n\r"
                    "          1.   Carl Müller"_cp});
    ASSERT_EQ(u.server.messageFiles().size(), 1u);
    EXPECT_TRUE(u.w.zeilen.Zeilen[1].Senden && u.w.zeilen.Zeilen[4].Gesendet);
    EXPECT_EQ(u.w.versandlauf.zusammenfassung,
              "1 von 3 eMails versendet; 2 Lehrkräfte mit ungültiger eMail-Adresse übersprungen; "
              "1 Lehrkraft ohne eMail-Adresse nicht benachrichtigt"_cp);
    EXPECT_FALSE(u.w.versandFehlerfrei());
    EXPECT_FALSE(u.w.mailZeilen(0).has_value());
}

// The password is asked only where the server wants one, once per run; no answer ends the run.
TEST(SendingTest, PasswordIsAskedOnlyWhenNeededAndNoAnswerEndsTheRun) {
    struct Fall {
        int authentifizierung;
        std::string antwort;
        std::size_t mails;
        std::size_t fragen;
    };
    for (const Fall& f : {Fall{0, "", 3, 0}, Fall{1, "geheim", 3, 1}, Fall{1, "", 0, 1}}) {
        SCOPED_TRACE(f.authentifizierung);
        Sendeumgebung u;
        u.w.werte.Server.Authentifizierung = f.authentifizierung;
        u.w.werte.Server.KennwortSpeichern = false;
        u.ui.answers = {true};
        u.ui.passwords = {f.antwort};
        u.w.sendeMarkierte();
        u.laufe();
        EXPECT_EQ(u.server.messageFiles().size(), f.mails);
        EXPECT_EQ(u.ui.passwordRequests.size(), f.fragen);
        EXPECT_EQ(u.w.versandFehlerfrei(), f.mails == 3);
        EXPECT_FALSE(u.w.sendePanel.sichtbar);
    }
}

TEST(SendingTest, MailThatWentOutStaysRecordedWhenTheFileCannotBeWritten) {
    Sendeumgebung u;
    testing::writeFile(u.dir.file("datei"), "");
    u.w.iniPfad = u.dir.file("datei/Tafelbot.ini"); // its directory is a file
    u.ui.answers = {true};
    u.w.sendeMarkierte();
    u.laufe();

    EXPECT_EQ(u.server.messageFiles().size(), 1u) << "the queue stops after the failed write";
    const auto fehler = u.ui.boxTexts("error");
    ASSERT_EQ(fehler.size(), 2u);
    const std::string anfang = "Die eMail an Anna Müller wurde verschickt, "_cp;
    EXPECT_EQ(fehler[1].substr(0, anfang.size()), anfang);
    EXPECT_NE(fehler[1].find("\n\rGelingt kein späteres Speichern, bekommt Anna Müller sie beim "
                             "nächsten Versand noch einmal"_cp),
              std::string::npos);
    EXPECT_TRUE(u.w.aufzeichnungOffen);
    EXPECT_EQ(u.w.versandlauf.zusammenfassung,
              "1 von 3 eMails versendet; 1 eMail nicht vermerkt; 1 Lehrkraft ohne eMail-Adresse "
              "nicht benachrichtigt");
    EXPECT_FALSE(u.w.versandFehlerfrei());
    u.w.einstellungenAbbrechen(); // reads the file again, which lacks the records
    EXPECT_EQ(u.w.werte.GesendeteMails.size(), 3u);
    EXPECT_TRUE(u.w.zeilen.Zeilen[0].Gesendet && !u.w.zeilen.Zeilen[0].Senden);
    EXPECT_TRUE(u.w.zeilen.Zeilen[1].Senden);
}

TEST(SendingTest, BadRecipientsStopBeforeAConnectionAndTheTestMailIsNeverRecorded) {
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
    EXPECT_TRUE(u.w.mailVerschickt());
    EXPECT_EQ(u.w.werte.GesendeteMails, (Texte{AlterRecord, FremderTag}));
}

} // namespace
} // namespace tafelbot
