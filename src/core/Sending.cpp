#include "core/MainWorkflow.h"
#include "mail/Adresse.h"
#include "mail/Kalender.h"
#include "mail/MailComposer.h"
#include "mail/SendQueue.h"
#include "oauth/SignIn.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/FixeTexte.h"
#include "settings/SettingsFile.h"
#include "smtp/SmtpSecurity.h"
#include "smtp/SmtpText.h"
#include "smtp/WSocketErrors.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tafelbot {

namespace {

const std::string TestMailUeberschrift = "Versenden einer Test-eMail:";

std::string zweistellig(const char* muster, int a, int b, int c, int d, int e) {
    char puffer[64];
    std::snprintf(puffer, sizeof puffer, muster, a, b, c, d, e);
    return puffer;
}

} // namespace

void MainWorkflow::attachEventLoop(EventLoop& loop) {
    loop_ = &loop;
    versand_ = std::make_unique<SendSession>(
        loop, log,
        SendSession::Anschluss{[this] { verbindungBeendet(); },
                               [this](const std::string& text) { versandFehler(text); },
                               [this](const std::string& status) {
                                   sendePanel.status = status;
                                   ui.viewChanged(ViewPart::SendPanel);
                               },
                               [this] { pruefeLaufende(); }});
}

void MainWorkflow::detachEventLoop() {
    versand_.reset();
    loop_ = nullptr;
}

bool MainWorkflow::versandRuht() const {
    return !versand_ || versand_->ruht();
}

bool MainWorkflow::versandLaeuft() const {
    return versand_ && versand_->laeuft();
}

bool MainWorkflow::mailVerschickt() const {
    return versand_ && versand_->zugestellt();
}

// ---- choosing recipients and the queue ----

// SpeedButton5Click
void MainWorkflow::sendeMarkierte() {
    if (versandLaeuft() || tageslauf_.aktiv) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    if (!schultage.empty()) {
        sendeMehrereTage();
        return;
    }
    if (tabelle.Lehrerfilter) {
        sendeAnLehrer(markierterLehrer());
        return;
    }
    sendeRunde(true);
}

// The queue of the date in force; `fragen`: after the question naming the recipients.
void MainWorkflow::sendeRunde(bool fragen) {
    beginneLauf(-1);
    for (int zeile : ersteZeilenDerEmpfaenger(zeilen))
        if (!adresseGueltig(zeile))
            uebersprungen_.insert(zeilen.Zeilen[static_cast<std::size_t>(zeile)].LehrerIndex);
    const std::string liste = empfaengerListe(zeilen, plan, uebersprungen_);
    if (liste.empty()) {
        if (uebersprungen_.empty() && fragen) {
            ui.showInformation("In der Spalte \"eMail\" ist keine Zeile ausgewählt!"_cp);
            return;
        }
        versandlauf.offen = true; // everybody skipped: the summary says so
        pruefeLaufende();
        return;
    }
    if (!fragen || ui.askYesNo("Sollen nun eMails an die folgenden Empfänger versendet werden?"_cp +
                               "\n\r\n\r" + liste)) {
        versandlauf.offen = true;
        sendeAnNaechsten();
    }
}

// ---- several days: one round per day, as a run for that date alone ----

// One question for all days; then each day's rows take the place of the table's, its round
// runs, and the next day follows once the round is over. A round that did not mail everybody
// it set out to mail ends the run: an unreachable server would otherwise report itself once
// per day.
void MainWorkflow::sendeMehrereTage() {
    uebernimmHaken();
    tageslauf_ = {};
    tageslauf_.nurMarkierter = tabelle.Lehrerfilter.has_value();
    tageslauf_.lehrer = tageslauf_.nurMarkierter ? markierterLehrer() : -1;
    std::string liste;
    for (const Schultag& tag : schultage) {
        if (tageslauf_.nurMarkierter) {
            const bool mitMail = std::any_of(
                tag.zeilen.Zeilen.begin(), tag.zeilen.Zeilen.end(), [this](const TVZeile& z) {
                    return tabelle.Lehrerfilter == kennungDer(z) && z.HatEMail && z.Senden;
                });
            if (mitMail)
                tageslauf_.tage.push_back(tag);
            continue;
        }
        const std::string namen = empfaengerListe(tag.zeilen, plan);
        if (namen.empty())
            continue;
        tageslauf_.tage.push_back(tag);
        liste += "\n\r\n\r" + tag.wochentag + ", " + tag.datumText + ":\n\r" + namen;
    }
    if (tageslauf_.nurMarkierter && tageslauf_.tage.empty())
        tageslauf_.tage.push_back(schultage.front()); // its round says why nothing goes out
    if (tageslauf_.tage.empty()) {
        ui.showInformation("In der Spalte \"eMail\" ist keine Zeile ausgewählt!"_cp);
        return;
    }
    if (!tageslauf_.nurMarkierter &&
        !ui.askYesNo("Sollen nun eMails an die folgenden Empfänger versendet werden?"_cp + liste))
        return;
    tageslauf_.aktiv = true;
    tageslauf_.erster = schultage.front().datum;
    starteTagesrunde();
}

// The tick boxes of the table's rows into each day's rows, which follow one another in it.
void MainWorkflow::uebernimmHaken() {
    std::size_t index = 0;
    for (Schultag& tag : schultage)
        for (TVZeile& zeile : tag.zeilen.Zeilen)
            if (index < zeilen.Zeilen.size())
                zeile.Senden = zeilen.Zeilen[index++].Senden;
}

void MainWorkflow::stelleTagEin(const Schultag& tag) {
    werte.AktDatum = tag.datum;
    datumFeld = tag.datumText;
    wochentagLabel = tag.wochentag;
    ui.viewChanged(ViewPart::DateField);
    zeilen = tag.zeilen;
    tabelle.mehrereTage = false;
    tabelle.uebergabe(static_cast<int>(zeilen.Zeilen.size()));
}

void MainWorkflow::starteTagesrunde() {
    const Schultag& tag = tageslauf_.tage.at(tageslauf_.naechster);
    stelleTagEin(tag);
    log.display("eMails für "_cp + tag.wochentag + ", den " + tag.datumText + ":", false);
    tageslauf_.rundeVorbei = false;
    if (tageslauf_.nurMarkierter)
        sendeAnLehrer(tageslauf_.lehrer);
    else
        sendeRunde(false);
    if (!versandlauf.offen && !versandLaeuft())
        tagesrundeVorbei(); // ended before it began: an error box said why
}

// The next step waits for the loop, outside the session's callbacks that end a round.
void MainWorkflow::tagesrundeVorbei() {
    if (!tageslauf_.aktiv || tageslauf_.rundeVorbei)
        return;
    tageslauf_.rundeVorbei = true;
    if (loop_ == nullptr) {
        nachTagesrunde();
        return;
    }
    loop_->post([this, lebt = std::weak_ptr<int>(lebt_)] {
        if (!lebt.expired())
            nachTagesrunde();
    });
}

void MainWorkflow::nachTagesrunde() {
    const bool vollstaendig =
        versandlauf.lehrkraefte > 0 && versandlauf.nichtVermerkt.empty() &&
        versandlauf.versendet + static_cast<int>(versandlauf.ungueltig.size()) ==
            versandlauf.lehrkraefte;
    ++tageslauf_.naechster;
    const bool weitere = tageslauf_.naechster < tageslauf_.tage.size();
    if (vollstaendig && weitere) {
        starteTagesrunde();
        return;
    }
    if (weitere)
        log.display("Der Versand wurde angehalten: für die Tage ab dem "_cp +
                        tageslauf_.tage[tageslauf_.naechster].datumText +
                        " wurden keine eMails versendet.",
                    false);
    const std::string erster = tageslauf_.erster;
    tageslauf_ = {};
    werte.AktDatum = erster;
    beschrifteEdit(); // all days again, with what was just recorded
}

// The teacher of the highlight: the first row, in row order, that the highlight covers.
int MainWorkflow::markierterLehrer() const {
    for (const TVZeile& zeile : zeilen.Zeilen)
        if (tabelle.Lehrerfilter == kennungDer(zeile))
            return zeile.LehrerIndex;
    return -1;
}

void MainWorkflow::sendeAnLehrer(int lehrerIndex) {
    if (versandLaeuft()) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    beginneLauf(lehrerIndex);
    int gefunden = -1;
    for (std::size_t i = 0; i < zeilen.Zeilen.size() && gefunden < 0; ++i)
        if (lehrerIndex >= 0 && zeilen.Zeilen[i].LehrerIndex == lehrerIndex)
            gefunden = static_cast<int>(i);
    if (gefunden < 0) {
        versandFehler("Konnte Markierung nicht zuordnen und keine eMail senden!");
        return;
    }
    const TVZeile& zeile = zeilen.Zeilen[static_cast<std::size_t>(gefunden)];
    if (!zeile.HatEMail) {
        versandFehler("Für den markierten Lehrer ist keine eMail-Adresse vorhanden!"_cp);
        return;
    }
    if (!zeile.Senden) {
        versandFehler("Für den markierten Lehrer ist die eMail-Option nicht ausgewählt!"_cp);
        return;
    }
    versandlauf.offen = true;
    if (!adresseGueltig(gefunden)) {
        pruefeLaufende();
        return;
    }
    aktuelleZeile = gefunden;
    verfasseUndSende();
}

void MainWorkflow::beginneLauf(int nurLehrer) {
    nurLehrer_ = nurLehrer;
    uebersprungen_.clear();
    versandlauf = {};
    if (nurLehrer >= 0) {
        versandlauf.lehrkraefte = 1;
        return;
    }
    versandlauf.lehrkraefte = static_cast<int>(ersteZeilenDerEmpfaenger(zeilen).size());
    versandlauf.ohneAdresse = lehrerOhneAdresse(zeilen);
}

// An address field that is no address list never reaches the client: it could add envelope
// parameters or header lines, or stop the whole run. The teacher is named and skipped.
bool MainWorkflow::adresseGueltig(int zeile) {
    const TLehrer& lehrer = plan.Lehrer.at(
        static_cast<std::size_t>(zeilen.Zeilen.at(static_cast<std::size_t>(zeile)).LehrerIndex));
    if (istAdressliste(lehrer.EMail))
        return true;
    const std::string name = lehrer.Vorname + " " + lehrer.Langname + " (" + lehrer.Kurzname + ")";
    versandlauf.ungueltig.push_back(name);
    log.display("Ungültige eMail-Adresse von "_cp + name + ": \"" + sichtbar(lehrer.EMail) + "\"",
                false);
    versandFehler("Die eMail-Adresse \"" + sichtbar(lehrer.EMail) + "\" von " + name +
                  " ist keine gültige Adresse; diese Lehrkraft bekommt keine eMail."_cp + "\n\r" +
                  "Bitte die Adresse in gp-Untis berichtigen."_cp);
    return false;
}

// What a connection needs before it starts: the password when the server wants one and none is
// at hand. A successful QUIT keeps it for the next connection, every failure ends the run: so it
// is asked once per run. Without an answer the run ends (what was sent stays recorded).
bool MainWorkflow::laufVorbereiten() {
    TEinstellungen& server = werte.Server;
    const bool mitAnmeldung =
        server.Authentifizierung > smtpAuthNone && server.Authentifizierung <= smtpAuthAutoSelect;
    if (!mitAnmeldung ||
        !(server.Kennwort.empty() || (!server.KennwortSpeichern && kennwortEingabe.empty())))
        return true;
    std::string antwort = ui.askPassword({server.SmtpServer, server.Kontoname, server.Anmeldename});
    if (!antwort.empty()) {
        server.Kennwort = std::move(antwort);
        return true;
    }
    versandlauf.fehler = true;
    log.display("Kein Kennwort eingegeben: der Versand wurde beendet.", false);
    return false;
}

void MainWorkflow::versandFehler(const std::string& text) {
    versandlauf.fehler = true;
    ui.showError(text);
}

namespace {

std::string anzahl(int n, const char* einzahl, const char* mehrzahl) {
    return std::to_string(n) + " " + (n == 1 ? einzahl : mehrzahl);
}

// "13 von 13 eMails versendet; 2 Lehrkräfte ohne eMail-Adresse nicht benachrichtigt"
std::string zusammenfassung(const MainWorkflow::Versandlauf& lauf) {
    std::string text = std::to_string(lauf.versendet) + " von " +
                       anzahl(lauf.lehrkraefte, "eMail", "eMails") + " versendet";
    if (!lauf.nichtVermerkt.empty())
        text += "; " + anzahl(static_cast<int>(lauf.nichtVermerkt.size()), "eMail", "eMails") +
                " nicht vermerkt";
    if (!lauf.ungueltig.empty())
        text += "; " + anzahl(static_cast<int>(lauf.ungueltig.size()), "Lehrkraft", "Lehrkräfte") +
                " mit ungültiger eMail-Adresse übersprungen";
    if (lauf.ohneAdresse > 0)
        text += "; " + anzahl(lauf.ohneAdresse, "Lehrkraft", "Lehrkräfte") +
                " ohne eMail-Adresse nicht benachrichtigt";
    return utf8ToCp1252(text);
}

} // namespace

// The run is over once its last connection rests and no next one started: one line says what
// it did.
void MainWorkflow::pruefeLaufende() {
    if (!versandlauf.offen || !versandRuht() || versandLaeuft())
        return;
    versandlauf.offen = false;
    versandlauf.zusammenfassung = zusammenfassung(versandlauf);
    log.display(versandlauf.zusammenfassung, false);
    tagesrundeVorbei();
}

bool MainWorkflow::versandFehlerfrei() const {
    return !versandlauf.fehler && versandlauf.nichtVermerkt.empty() &&
           versandlauf.versendet == versandlauf.lehrkraefte;
}

// MailsSenden
void MainWorkflow::sendeAnNaechsten() {
    if (nurLehrer_ >= 0)
        return;
    const int naechste = naechsteZuSendendeZeile(zeilen, uebersprungen_);
    if (naechste < 0)
        return;
    aktuelleZeile = naechste;
    verfasseUndSende();
}

// SendMailTo
void MainWorkflow::verfasseUndSende() {
    // The client's properties belong to the session in progress until it ends.
    if (versandLaeuft()) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    bereiteMailVor();
    starteVerbindung();
}

void MainWorkflow::bereiteMailVor() {
    const TVZeile& zeile = zeilen.Zeilen.at(static_cast<std::size_t>(aktuelleZeile));
    const TLehrer& lehrer = plan.Lehrer.at(static_cast<std::size_t>(zeile.LehrerIndex));
    const TEinstellungen& server = werte.Server;
    Stundenzeiten stundenzeiten;
    if (werte.Kalender) {
        stundenzeiten = leseStundenzeiten(werte.Stundenzeiten);
        meldeStundenzeiten(stundenzeiten);
    }
    MailInput input{zeilen,
                    aktuelleZeile,
                    lehrer,
                    werte.Mailspalten,
                    werte.Ueberschriften,
                    server.Zusatztext,
                    server.ZusatztextAnhaengen,
                    werte.GesendeteMails,
                    werte.AktDatum,
                    wochentagLabel,
                    datumFeld,
                    werte.Aenderungen,
                    werte.Kalender ? &stundenzeiten : nullptr};
    ComposedMail mail = composeSubstitutionMail(input, ui);

    THtmlSmtpCli& cli = versand_->client();
    cli.SetContentType(smtpHtml);
    cli.HdrTo = mail.hdrTo;
    cli.HdrSubject = mail.subject;
    cli.HtmlText = std::move(mail.htmlText);
    cli.PlainText = std::move(mail.plainText);
    cli.MemoryAttachments = std::move(mail.anhaenge);
    sendePanel.ueberschrift = mail.sendPanelHeading;
    sendStamp = mail.sendStamp;
}

// A broken lesson time is said once, not with every mail, until the setting changes.
void MainWorkflow::meldeStundenzeiten(const Stundenzeiten& zeiten) {
    if (zeiten.defekt.empty() || werte.Stundenzeiten == gemeldeteStundenzeiten_)
        return;
    gemeldeteStundenzeiten_ = werte.Stundenzeiten;
    for (const std::string& eintrag : zeiten.defekt)
        log.display("Stundenzeiten: Der Eintrag \"" + eintrag +
                        "\" ist keine gültige Stundenzeit (etwa 1=07:45-08:30) und wird "
                        "übergangen; diese Stunde steht ganztägig im Kalender."_cp,
                    false);
}

std::optional<std::vector<std::string>> MainWorkflow::mailZeilen(int zeile) {
    if (!adresseGueltig(zeile))
        return std::nullopt;
    aktuelleZeile = zeile;
    bereiteMailVor();
    konfiguriereClient();
    return versand_->client().MessageLines();
}

bool MainWorkflow::testMailSenden(const std::string& empfaenger, const std::string& betreff,
                                  const std::vector<std::string>& text) {
    if (versandLaeuft()) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return true;
    }
    const platform::CivilTime t = platform::clock().localNow();
    THtmlSmtpCli& cli = versand_->client();
    cli.HdrTo = empfaenger;
    cli.HdrSubject = betreff;
    cli.SetContentType(smtpPlainText);
    cli.HtmlText.clear();
    cli.PlainText = text;
    cli.PlainText.push_back("");
    cli.PlainText.push_back("Diese Mail wurde mit dem Programm " +
                            FixeTexte::programmNameVersion() + " (" + FixeTexte::autorCredit() +
                            ")");
    cli.PlainText.push_back(zweistellig("am %.2d.%.2d.%.4d um %.2d.%.2d Uhr erstellt.", t.day,
                                        t.month, t.year, t.hour, t.minute));
    sendePanel.ueberschrift = TestMailUeberschrift;
    versandlauf = {};
    if (!istAdressliste(empfaenger) && !HoldsLineBreakOrNul(empfaenger) &&
        !ohneLeerzeichen(empfaenger).empty()) {
        versandFehler("Kann eMail nicht senden: \"" + empfaenger +
                      "\" ist keine gültige eMail-Adresse!"_cp);
        return false;
    }
    starteVerbindung();
    return versandLaeuft();
}

// ---- one connection ----

bool MainWorkflow::adressenSicher() {
    const TEinstellungen& s = werte.Server;
    const THtmlSmtpCli& cli = versand_->client();
    for (const std::string* wert : {&cli.HdrTo, &s.KopieAn, &s.Absender, &s.Absendername,
                                    &s.AntwortAn, &s.SmtpServer, &s.Anmeldename}) {
        if (HoldsLineBreakOrNul(*wert)) {
            versandFehler("Kann eMail nicht senden: Die Angabe \"" + *wert +
                          "\" enthält einen Zeilenumbruch oder ein Nullzeichen!"_cp);
            return false;
        }
    }
    return true;
}

// StartSend
void MainWorkflow::starteVerbindung() {
    if (versandLaeuft()) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    versand_->neueMail();
    THtmlSmtpCli& cli = versand_->client();
    TEinstellungen& server = werte.Server;

    if (ohneLeerzeichen(cli.HdrTo).empty()) {
        versandFehler("Kann eMail nicht senden: Empfängeradresse fehlt!"_cp);
        verbindungBeendet();
        return;
    }
    if (server.Authentifizierung < smtpAuthNone || server.Authentifizierung > smtpAuthAutoSelect) {
        versandFehler("Kann eMail nicht senden: Authentifizierungs-Methode unbekannt!\n\r" +
                      "Bitte die Authentifizierung in den Einstellungen neu wählen."_cp);
        verbindungBeendet();
        return;
    }
    cli.AuthType = static_cast<TSmtpAuthType>(server.Authentifizierung);
    if (server.Prioritaet < smtpPriorityNone || server.Prioritaet > smtpPriorityLowest) {
        versandFehler("Kann eMail nicht senden: Eingestellte Priorität unbekannt!"_cp + "\n\r" +
                      "Bitte die Priorität in den Einstellungen neu wählen."_cp);
        verbindungBeendet();
        return;
    }
    cli.HdrPriority = static_cast<TSmtpPriority>(server.Prioritaet);
    if (!adressenSicher()) {
        verbindungBeendet();
        return;
    }

    // With OAuth the account signs in with a token, whatever the authentication index says, and
    // never with the password.
    cli.OAuthRequired = !server.OAuth.empty();
    cli.OAuthBearerToken.clear();
    if (cli.OAuthRequired) {
        cli.AuthType = smtpAuthAutoSelect;
        const auto zugang = oauth::accessTokenForSending(
            oauth::settingsOf(server), server.Kontoname,
            zeitlimit().count() > 0 ? zeitlimit() : std::chrono::seconds(30));
        if (!zugang.warning.empty())
            log.display(zugang.warning, false);
        if (zugang.token.empty()) {
            versandFehler(zugang.error + "\n\rEs wurde keine eMail verschickt.");
            verbindungBeendet();
            return;
        }
        cli.OAuthBearerToken = zugang.token;
    } else if (!laufVorbereiten()) {
        verbindungBeendet();
        return;
    }
    kennwortEingabe.clear();

    sendePanel.sichtbar = true;
    ui.viewChanged(ViewPart::SendPanel);
    for (int i = 0; i < 3; ++i)
        log.display("", true);

    try {
        konfiguriereClient();
        sendePanel.absender = cli.FromName;
        sendePanel.empfaenger = cli.HdrTo;

        log.display("Verbindungsaufbau...", false);
        sendePanel.status = "   SMTP-Server-Aktion: smtpConnect (Verbindung aufbauen) ...";
        ui.viewChanged(ViewPart::SendPanel);
        versand_->verbinde(zeitlimit());
    } catch (const std::exception& e) {
        versandFehler("Fehler beim Verbindungsaufbau zum SMTP-Server!\n\r" + ausnahmeName(e) +
                      ": " + e.what() + "\n\r" + verbindungsHinweis());
        verbindungBeendet();
    }
}

void MainWorkflow::konfiguriereClient() {
    THtmlSmtpCli& cli = versand_->client();
    const TEinstellungen& server = werte.Server;
    cli.Host = server.SmtpServer;
    cli.Port = server.Port;
    cli.SignOn = server.Anmeldename;
    cli.FromName = server.Absender;
    cli.HdrFrom = server.Absendername + " <" + server.Absender + ">";
    cli.HdrReplyTo = server.AntwortAn;
    cli.Username = server.Kontoname;
    cli.Password = server.Kennwort;
    cli.Security = server.Verbindungssicherheit >= smtpSecurityAuto &&
                           server.Verbindungssicherheit <= smtpSecurityTls
                       ? static_cast<TSmtpSecurity>(server.Verbindungssicherheit)
                       : smtpSecurityAuto;
    cli.AcceptUnverifiedCertificate = server.ZertifikatUngeprueftAnnehmen;
    cli.ExtraCaFile = cp1252ToUtf8(server.ZusatzCaDatei);
    // The control copy goes as a Bcc: an envelope recipient that no header names.
    cli.RcptName.clear();
    cli.AddRecipientLists(cli.HdrTo, cli.HdrCc, server.KopieSenden ? server.KopieAn : "");
}

// BAbbrechenClick
void MainWorkflow::brecheVersandAb() {
    versandlauf.fehler = true;
    versand_->abbrechen();
    verbindungBeendet();
}

std::chrono::milliseconds MainWorkflow::zeitlimit() const {
    if (sitzungsZeitlimit.count() > 0)
        return sitzungsZeitlimit;
    return std::chrono::seconds(std::max(werte.Server.Zeitlimit, 0));
}

// EndSend
void MainWorkflow::verbindungBeendet() {
    SendSession& sitzung = *versand_;
    sitzung.beende();
    sendePanel.status.clear();
    sendePanel.sichtbar = false;
    ui.viewChanged(ViewPart::SendPanel);

    // A clean QUIT keeps the password for the run's next connection.
    if (sitzung.zugestellt())
        kennwortEingabe = werte.Server.Kennwort;
    // The mail went out once the server accepted its data; a session that ends after that
    // without a clean QUIT still delivered it. While the QUIT's completion is to come, it decides.
    if (!sitzung.verschickt() || sendePanel.ueberschrift == TestMailUeberschrift) {
        sitzung.schliesse();
        pruefeLaufende();
        return;
    }
    const bool weiter = sitzung.zugestellt();
    sitzung.erledigt(); // recorded once, however often the connection's end is reported
    if (!weiter)
        sitzung.schliesse();
    if (aktuelleZeile >= 0 && static_cast<std::size_t>(aktuelleZeile) < zeilen.Zeilen.size())
        vermerke(weiter);
    pruefeLaufende();
}

// Records the mail that went out, writes the file, and goes on with the next teacher.
void MainWorkflow::vermerke(bool weiter) {
    const TVZeile& zeile = zeilen.Zeilen[static_cast<std::size_t>(aktuelleZeile)];
    const TLehrer& lehrer = plan.Lehrer.at(static_cast<std::size_t>(zeile.LehrerIndex));
    versandAufzeichnen(werte.GesendeteMails, zeilen, aktuelleZeile, werte.AktDatum, lehrer.Kurzname,
                       sendStamp);
    ++versandlauf.versendet;
    const bool gespeichert = IniSchreiben(zuSchreiben(), iniPfad, ui);
    aufzeichnungOffen = !gespeichert;
    tabelle.ScrollBar1Change();
    ui.viewChanged(ViewPart::Window);
    if (!gespeichert) {
        // The record lives in memory only: a later save may still write it, but a run that ends
        // here (the command line) loses it, and the next run mails the teacher again.
        const std::string name = lehrer.Vorname + " " + lehrer.Langname;
        versandlauf.nichtVermerkt.push_back(name);
        versandFehler("Die eMail an " + name +
                      " wurde verschickt, konnte aber nicht in der Datei \"Tafelbot.ini\" "
                      "vermerkt werden." +
                      "\n\r" + "Gelingt kein späteres Speichern, bekommt "_cp + name +
                      " sie beim nächsten Versand noch einmal; der Versand wurde angehalten."_cp +
                      "\n\r" +
                      "Bitte Schreibrecht und freien Platz für die Einstellungsdatei prüfen."_cp);
        return;
    }
    if (weiter && nurLehrer_ < 0)
        sendeAnNaechsten();
}

} // namespace tafelbot
