#include "core/MainWorkflow.h"
#include "mail/Adresse.h"
#include "mail/MailComposer.h"
#include "mail/SendDriver.h"
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

struct Aktion {
    std::string status;      // the next action, shown while it runs
    std::string gescheitert; // the action named when the request failed
};

Aktion aktionNach(TSmtpRequest rq, bool mitHelo, bool ohneAuth) {
    const std::string helo = "smtpHelo (Begrüßung des Servers)"_cp;
    const std::string ehlo = "smtpEhlo (Begrüßung des Servers)"_cp;
    const std::string auth = "smtpAuth (Authentifizierung)";
    const std::string mailFrom = "smtpMailFrom (Prüfung des Absendernamens)"_cp;
    const std::string rcptTo = "smtpRcptTo (Prüfung der Empfängernamen)"_cp;
    const std::string data = "smtpData (Versenden der Daten)";
    const std::string quit = "smtpQuit (Beenden der Verbindung)";
    switch (rq) {
    case smtpConnect:
        return {mitHelo ? helo : ehlo, "smtpConnect (Verbindung aufbauen)"};
    case smtpHelo:
        return {mailFrom, helo};
    case smtpEhlo:
        return {ohneAuth ? mailFrom : auth, ehlo};
    case smtpAuth:
        return {mailFrom, auth};
    case smtpMailFrom:
        return {rcptTo, mailFrom};
    case smtpRcptTo:
        return {data, rcptTo};
    case smtpData:
        return {quit, data};
    case smtpQuit:
        return {"eMail erfolgreich verschickt!", quit};
    default:
        return {};
    }
}

std::string klassenName(const std::exception& e) {
    if (dynamic_cast<const SmtpException*>(&e))
        return "SmtpException";
    if (dynamic_cast<const ESocketException*>(&e))
        return "ESocketException";
    return "Exception";
}

std::string zweistellig(const char* muster, int a, int b, int c, int d, int e) {
    char puffer[64];
    std::snprintf(puffer, sizeof puffer, muster, a, b, c, d, e);
    return puffer;
}

} // namespace

void MainWorkflow::attachEventLoop(EventLoop& loop) {
    eventLoop_ = &loop;
    HtmlSmtpCli1 = std::make_unique<THtmlSmtpCli>(loop);
    HtmlSmtpCli1->OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t e) {
        HtmlSmtpCli1RequestDone(rq, e);
    };
    HtmlSmtpCli1->OnSessionClosed = [this](TCustomSmtpClient&, int e) {
        HtmlSmtpCli1SessionClosed(e);
    };
    HtmlSmtpCli1->OnDisplay = [this](TCustomSmtpClient&, const std::string& msg) {
        HtmlSmtpCli1Display(msg);
    };
    HtmlSmtpCli1->OnResponse = [this](TCustomSmtpClient&, const std::string& zeile) {
        HtmlSmtpCli1Response(zeile);
    };
    // Every encrypted session says how; a certificate taken unverified is warned about each time.
    HtmlSmtpCli1->OnTlsStarted = [this](TCustomSmtpClient&, const TlsInfo& info) {
        log.display(TlsLogLine(info), false);
        if (!info.verified)
            log.display(TlsWarning(info), false);
    };
}

void MainWorkflow::detachEventLoop() {
    stoppeZeitlimit();
    HtmlSmtpCli1.reset();
    eventLoop_ = nullptr;
    sending = false;
    anfrageOffen_ = false;
}

// ---- choosing recipients and the queue ----

void MainWorkflow::SpeedButton5Click() {
    if (sending) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    if (!tabelle.Lehrerfilter.empty()) {
        sendeAnLehrer(markierterLehrer());
        return;
    }
    beginneLauf(-1);
    for (int zeile : ersteZeilenDerEmpfaenger(zeilen))
        if (!adresseGueltig(zeile))
            uebersprungen_.insert(zeilen.Zeilen[static_cast<std::size_t>(zeile)].LehrerIndex);
    const std::string liste = empfaengerListe(zeilen, plan, uebersprungen_);
    if (liste.empty()) {
        if (uebersprungen_.empty())
            ui.showInformation("In der Spalte \"eMail\" ist keine Zeile ausgewählt!"_cp);
        return;
    }
    if (ui.askYesNo("Sollen nun eMails an die folgenden Empfänger versendet werden?"_cp +
                    "\n\r\n\r" + liste))
        MailsSenden();
}

// The teacher of the highlight: the first row, in row order, that the highlight covers.
int MainWorkflow::markierterLehrer() const {
    for (const TVZeile& zeile : zeilen.Zeilen)
        if (zeile.Vertreter == tabelle.Lehrerfilter)
            return zeile.LehrerIndex;
    return -1;
}

void MainWorkflow::sendeAnLehrer(int lehrerIndex) {
    if (sending) {
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
    if (!adresseGueltig(gefunden))
        return;
    aktuelleZeile = gefunden;
    SendMailTo();
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

bool MainWorkflow::versandFehlerfrei() const {
    return !versandlauf.fehler && versandlauf.nichtVermerkt.empty() &&
           versandlauf.versendet == versandlauf.lehrkraefte;
}

void MainWorkflow::MailsSenden() {
    if (nurLehrer_ >= 0)
        return;
    const int naechste = naechsteZuSendendeZeile(zeilen, uebersprungen_);
    if (naechste < 0)
        return;
    aktuelleZeile = naechste;
    SendMailTo();
}

void MainWorkflow::SendMailTo() {
    // The client's properties belong to the session in progress until it ends.
    if (sending) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    bereiteMailVor();
    StartSend();
}

void MainWorkflow::bereiteMailVor() {
    const TVZeile& zeile = zeilen.Zeilen.at(static_cast<std::size_t>(aktuelleZeile));
    const TLehrer& lehrer = plan.Lehrer.at(static_cast<std::size_t>(zeile.LehrerIndex));
    const TEinstellungen& server = werte.Server;
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
                    datumFeld};
    ComposedMail mail = composeSubstitutionMail(input, ui);

    THtmlSmtpCli& cli = *HtmlSmtpCli1;
    cli.SetContentType(smtpHtml);
    cli.HdrTo = mail.hdrTo;
    cli.HdrSubject = mail.subject;
    cli.HtmlText = std::move(mail.htmlText);
    cli.PlainText = std::move(mail.plainText);
    sendePanel.ueberschrift = mail.sendPanelHeading;
    sendStamp = mail.sendStamp;
}

std::optional<std::vector<std::string>> MainWorkflow::mailZeilen(int zeile) {
    if (!adresseGueltig(zeile))
        return std::nullopt;
    aktuelleZeile = zeile;
    bereiteMailVor();
    konfiguriereClient();
    return HtmlSmtpCli1->MessageLines();
}

bool MainWorkflow::testMailSenden(const std::string& empfaenger, const std::string& betreff,
                                  const std::vector<std::string>& text) {
    if (sending) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return true;
    }
    const platform::CivilTime t = platform::clock().localNow();
    THtmlSmtpCli& cli = *HtmlSmtpCli1;
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
    StartSend();
    return sending;
}

// ---- one connection ----

bool MainWorkflow::adressenSicher() {
    const TEinstellungen& s = werte.Server;
    const THtmlSmtpCli& cli = *HtmlSmtpCli1;
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

void MainWorkflow::StartSend() {
    if (sending) {
        ui.showMessage("**** ALREADY RUNNING ****");
        return;
    }
    mailSent = false;
    datenAngenommen_ = false;
    empfaengerAbgelehnt_ = 0;
    verbindungVerloren_ = false;
    THtmlSmtpCli& cli = *HtmlSmtpCli1;
    TEinstellungen& server = werte.Server;

    if (ohneLeerzeichen(cli.HdrTo).empty()) {
        versandFehler("Kann eMail nicht senden: Empfängeradresse fehlt!"_cp);
        EndSend();
        return;
    }
    if (server.Authentifizierung < smtpAuthNone || server.Authentifizierung > smtpAuthAutoSelect) {
        versandFehler("Kann eMail nicht senden: Authentifizierungs-Methode unbekannt!");
        EndSend();
        return;
    }
    cli.AuthType = static_cast<TSmtpAuthType>(server.Authentifizierung);
    if (server.Prioritaet < smtpPriorityNone || server.Prioritaet > smtpPriorityLowest) {
        versandFehler("Kann eMail nicht senden: Eingestellte Priorität unbekannt!"_cp);
        EndSend();
        return;
    }
    cli.HdrPriority = static_cast<TSmtpPriority>(server.Prioritaet);
    if (!adressenSicher()) {
        EndSend();
        return;
    }

    if (!laufVorbereiten()) {
        EndSend();
        return;
    }
    kennwortEingabe.clear();

    sendePanel.sichtbar = true;
    ui.viewChanged(ViewPart::SendPanel);
    for (int i = 0; i < 3; ++i)
        log.display("", true);

    sending = true;
    try {
        konfiguriereClient();
        sendePanel.absender = cli.FromName;
        sendePanel.empfaenger = cli.HdrTo;

        log.display("Verbindungsaufbau...", false);
        sendePanel.status = "   SMTP-Server-Aktion: smtpConnect (Verbindung aufbauen) ...";
        ui.viewChanged(ViewPart::SendPanel);
        if (zeitlimit().count() > 0 && eventLoop_)
            zeitlimitTimer_ =
                eventLoop_->startTimer(zeitlimit(), [this] { zeitlimitAbgelaufen(); });
        issue(smtpConnect, &TCustomSmtpClient::Connect);
    } catch (const std::exception& e) {
        versandFehler("Fehler beim Verbindungsaufbau zum SMTP-Server!\n\r" + klassenName(e) + ": " +
                      e.what());
        sending = false;
        EndSend();
    }
}

void MainWorkflow::konfiguriereClient() {
    THtmlSmtpCli& cli = *HtmlSmtpCli1;
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

void MainWorkflow::issue(TSmtpRequest art, void (TCustomSmtpClient::*request)()) {
    (HtmlSmtpCli1.get()->*request)();
    letzteAnfrage_ = art;
    anfrageOffen_ = true;
}

void MainWorkflow::HtmlSmtpCli1RequestDone(TSmtpRequest rqType, std::uint16_t errorCode) {
    anfrageOffen_ = false;
    // The client judges only the last recipient's reply; a mail goes out only to all of them.
    if (rqType == smtpRcptTo && errorCode == 0 && empfaengerAbgelehnt_ != 0)
        errorCode = static_cast<std::uint16_t>(empfaengerAbgelehnt_);
    if (rqType == smtpData && errorCode == 0) {
        datenAngenommen_ = true;
        // The session ended before this completion came: the mail went out all the same.
        if (!sending) {
            EndSend();
            return;
        }
    }
    const bool verloren = verbindungVerloren_ && errorCode != 0;
    if (!sending && rqType != smtpQuit && !verloren)
        return;
    THtmlSmtpCli& cli = *HtmlSmtpCli1;
    const Aktion aktion = aktionNach(rqType, GreetsWithHelo(cli.AuthType, cli.Security),
                                     cli.AuthType == smtpAuthNone);
    // A security failure names its reason: the action alone does not tell what to do.
    std::string grund = TlsFailureReason(errorCode, cli.ErrorMessage());
    if (!grund.empty())
        grund = "\n\r" + grund;

    if (errorCode > 0 && errorCode < 10000)
        log.display("ACHTUNG FEHLER! RequestDone Rq=" + std::to_string(rqType) +
                        " Error=" + cli.ErrorMessage(),
                    false);
    else
        log.display("RequestDone Rq=" + std::to_string(rqType) +
                        " Error=" + std::to_string(errorCode),
                    false);
    if (verloren) {
        // The close came first and ended the session; this completion says what failed.
        verbindungVerloren_ = false;
        log.display("Error, stop.", false);
        versandFehler("Fehler bei folgender SMTP-Server-Aktion: " + aktion.gescheitert + grund);
        return;
    }
    sendePanel.status = "   SMTP-Server-Aktion: " + aktion.status + " ...";
    ui.viewChanged(ViewPart::SendPanel);

    if (errorCode != 0) {
        sending = false;
        log.display("Error, stop.", false);
        versandFehler("Fehler bei folgender SMTP-Server-Aktion: " + aktion.gescheitert + grund);
        EndSend();
        return;
    }
    try {
        switch (rqType) {
        case smtpConnect:
            if (GreetsWithHelo(cli.AuthType, cli.Security))
                issue(smtpHelo, &TCustomSmtpClient::Helo);
            else
                issue(smtpEhlo, &TCustomSmtpClient::Ehlo);
            break;
        case smtpHelo:
            issue(smtpMailFrom, &TCustomSmtpClient::MailFrom);
            break;
        case smtpEhlo:
            // EHLO without AUTH only for STARTTLS.
            if (cli.AuthType == smtpAuthNone)
                issue(smtpMailFrom, &TCustomSmtpClient::MailFrom);
            else
                issue(smtpAuth, &TCustomSmtpClient::Auth);
            break;
        case smtpAuth:
            issue(smtpMailFrom, &TCustomSmtpClient::MailFrom);
            break;
        case smtpMailFrom:
            issue(smtpRcptTo, &TCustomSmtpClient::RcptTo);
            break;
        case smtpRcptTo:
            issue(smtpData, &TCustomSmtpClient::Data);
            break;
        case smtpData:
            issue(smtpQuit, &TCustomSmtpClient::Quit);
            break;
        case smtpQuit:
            log.display("Fertig !", false);
            mailSent = true;
            sending = false;
            kennwortEingabe = werte.Server.Kennwort;
            EndSend();
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        // A request the client refuses (a lost connection it noticed first): end like a failure.
        sending = false;
        log.display("Error, stop.", false);
        versandFehler("Fehler bei folgender SMTP-Server-Aktion: " + aktion.status + "\n\r" +
                      klassenName(e) + ": " + e.what());
        EndSend();
    }
}

void MainWorkflow::HtmlSmtpCli1SessionClosed(int) {
    log.display("Verbindung getrennt!", false);
    // Closed by the server or the network while a request other than QUIT ran.
    verbindungVerloren_ = sending && anfrageOffen_ && letzteAnfrage_ != smtpQuit;
    sending = false;
    EndSend();
}

void MainWorkflow::HtmlSmtpCli1Response(const std::string& zeile) {
    if (!anfrageOffen_ || letzteAnfrage_ != smtpRcptTo || zeile.size() < 3 ||
        (zeile.size() > 3 && zeile[3] == '-'))
        return;
    const auto code = alsGanzzahl(zeile.substr(0, 3));
    if (code && *code != 250 && *code != 251 && empfaengerAbgelehnt_ == 0)
        empfaengerAbgelehnt_ = *code;
}

void MainWorkflow::HtmlSmtpCli1Display(const std::string& msg) {
    log.display(msg, true);
}

void MainWorkflow::BAbbrechenClick() {
    log.display("Aktion durch den Benutzer abgebrochen!", false);
    versandlauf.fehler = true;
    sending = false;
    HtmlSmtpCli1->Abort();
    EndSend();
}

void MainWorkflow::zeitlimitAbgelaufen() {
    zeitlimitTimer_ = 0;
    if (!sending)
        return;
    const auto n = std::chrono::duration_cast<std::chrono::seconds>(zeitlimit()).count();
    const std::string dauer = std::to_string(n) + (n == 1 ? " Sekunde" : " Sekunden");
    log.display("Zeitlimit von " + dauer + " abgelaufen, Verbindung abgebrochen!", false);
    sending = false;
    HtmlSmtpCli1->Abort();
    versandFehler("Der SMTP-Server hat die Sitzung nicht innerhalb von " + dauer +
                  " beendet; die Verbindung wurde abgebrochen." + "\n\r" +
                  (datenAngenommen_ ? "Die eMail hatte der Server bereits angenommen."
                                    : "Die eMail wurde nicht verschickt."));
    EndSend();
}

std::chrono::milliseconds MainWorkflow::zeitlimit() const {
    if (sitzungsZeitlimit.count() > 0)
        return sitzungsZeitlimit;
    return std::chrono::seconds(std::max(werte.Server.Zeitlimit, 0));
}

void MainWorkflow::stoppeZeitlimit() {
    if (zeitlimitTimer_ != 0 && eventLoop_)
        eventLoop_->cancelTimer(zeitlimitTimer_);
    zeitlimitTimer_ = 0;
}

void MainWorkflow::schliesseVerbindung() {
    if (abortLaeuft_ || !HtmlSmtpCli1)
        return;
    abortLaeuft_ = true;
    HtmlSmtpCli1->Abort();
    abortLaeuft_ = false;
}

void MainWorkflow::EndSend() {
    sending = false;
    stoppeZeitlimit();
    sendePanel.status.clear();
    sendePanel.sichtbar = false;
    ui.viewChanged(ViewPart::SendPanel);

    // The mail went out once the server accepted its data; a session that ends after that
    // without a clean QUIT still delivered it. While the QUIT's completion is to come, it decides.
    const bool quitAussteht = anfrageOffen_ && letzteAnfrage_ == smtpQuit;
    const bool verschickt = mailSent || (datenAngenommen_ && !quitAussteht);
    if (!verschickt || sendePanel.ueberschrift == TestMailUeberschrift) {
        schliesseVerbindung();
        return;
    }
    const bool weiter = mailSent;
    mailSent = false; // recorded once, however often the connection's end is reported
    datenAngenommen_ = false;
    if (!weiter)
        schliesseVerbindung();
    if (aktuelleZeile < 0 || static_cast<std::size_t>(aktuelleZeile) >= zeilen.Zeilen.size())
        return;
    const TVZeile& zeile = zeilen.Zeilen[static_cast<std::size_t>(aktuelleZeile)];
    const TLehrer& lehrer = plan.Lehrer.at(static_cast<std::size_t>(zeile.LehrerIndex));
    versandAufzeichnen(werte.GesendeteMails, zeilen, aktuelleZeile, werte.AktDatum, lehrer.Kurzname,
                       sendStamp);
    const bool gespeichert = IniSchreiben(werte, iniPfad, ui);
    aufzeichnungOffen = !gespeichert;
    tabelle.ScrollBar1Change();
    ui.viewChanged(ViewPart::Window);
    if (!gespeichert) {
        versandFehler("Die eMail an " + lehrer.Vorname + " " + lehrer.Langname +
                      " wurde verschickt, konnte aber nicht in der Datei \"Tafelbot.ini\" "
                      "vermerkt werden." +
                      "\n\r" +
                      "Der Vermerk bleibt im Programm erhalten und wird beim nächsten Speichern "
                      "geschrieben; die eMail wird nicht noch einmal verschickt."_cp);
        return;
    }
    ++versandlauf.versendet;
    if (weiter && nurLehrer_ < 0)
        MailsSenden();
}

} // namespace tafelbot
