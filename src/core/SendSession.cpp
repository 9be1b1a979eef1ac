#include "core/SendSession.h"

#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "smtp/SmtpSecurity.h"
#include "smtp/SmtpText.h"
#include "smtp/TlsSession.h"
#include "smtp/WSocketErrors.h"
#include "ui/InfoLog.h"

#include <exception>
#include <optional>
#include <vector>

namespace tafelbot {

namespace {

// One row per request of a session: the action the status line and the error box name, and
// how the client issues it.
struct Schritt {
    TSmtpRequest anfrage;
    std::string aktion;
    void (TCustomSmtpClient::*stellen)();
};

const Schritt* schritt(TSmtpRequest anfrage) {
    static const std::vector<Schritt> schritte = {
        {smtpConnect, "smtpConnect (Verbindung aufbauen)", &TCustomSmtpClient::Connect},
        {smtpHelo, "smtpHelo (Begrüßung des Servers)"_cp, &TCustomSmtpClient::Helo},
        {smtpEhlo, "smtpEhlo (Begrüßung des Servers)"_cp, &TCustomSmtpClient::Ehlo},
        {smtpAuth, "smtpAuth (Authentifizierung)", &TCustomSmtpClient::Auth},
        {smtpMailFrom, "smtpMailFrom (Prüfung des Absendernamens)"_cp,
         &TCustomSmtpClient::MailFrom},
        {smtpRcptTo, "smtpRcptTo (Prüfung der Empfängernamen)"_cp, &TCustomSmtpClient::RcptTo},
        {smtpData, "smtpData (Versenden der Daten)", &TCustomSmtpClient::Data},
        {smtpQuit, "smtpQuit (Beenden der Verbindung)", &TCustomSmtpClient::Quit},
    };
    for (const Schritt& s : schritte)
        if (s.anfrage == anfrage)
            return &s;
    return nullptr;
}

std::string aktion(TSmtpRequest anfrage) {
    const Schritt* s = schritt(anfrage);
    return s ? s->aktion : std::string();
}

// The request that follows a completed one; none after QUIT and after kinds a session does not
// issue.
std::optional<TSmtpRequest> naechste(TSmtpRequest erledigt, const TCustomSmtpClient& client) {
    switch (erledigt) {
    case smtpConnect:
        return GreetsWithHelo(client.AuthType, client.Security) ? smtpHelo : smtpEhlo;
    case smtpEhlo: // EHLO without AUTH only for STARTTLS
        return client.AuthType == smtpAuthNone ? smtpMailFrom : smtpAuth;
    case smtpHelo:
    case smtpAuth:
        return smtpMailFrom;
    case smtpMailFrom:
        return smtpRcptTo;
    case smtpRcptTo:
        return smtpData;
    case smtpData:
        return smtpQuit;
    default:
        return std::nullopt;
    }
}

// The status line's action after a completion: the next request's, or the mail's success.
std::string statusNach(TSmtpRequest erledigt, const TCustomSmtpClient& client) {
    if (erledigt == smtpQuit)
        return "eMail erfolgreich verschickt!";
    const auto n = naechste(erledigt, client);
    return n ? aktion(*n) : std::string();
}

// The line an error box adds to the action that failed: what to check.
std::string hinweis(TSmtpRequest rq, int fehlercode) {
    if (fehlercode == tlsErrorUntrusted || fehlercode == tlsErrorNameMismatch ||
        fehlercode == tlsErrorExpired)
        return "Bitte das Zertifikat des Servers prüfen, oder in den Einstellungen die Ausnahme "
               "für ungeprüfte Zertifikate bzw. die zusätzliche CA-Datei."_cp;
    if (fehlercode == tlsErrorProtocol || fehlercode == tlsErrorRefused ||
        fehlercode == tlsErrorNotOffered)
        return verbindungsHinweis();
    switch (rq) {
    case smtpConnect:
    case smtpHelo:
    case smtpEhlo:
        return verbindungsHinweis();
    case smtpAuth:
        return "Bitte den Namen des eMail-Kontos und das Kennwort (bzw. die Anmeldung) prüfen."_cp;
    case smtpMailFrom:
        return "Bitte die Absender-Adresse in den Einstellungen prüfen."_cp;
    case smtpRcptTo:
        return "Bitte die eMail-Adresse des Empfängers und die Kopie-Adresse prüfen."_cp;
    default:
        return "Bitte die Verbindung zum Server prüfen und den Versand wiederholen."_cp;
    }
}

} // namespace

std::string ausnahmeName(const std::exception& e) {
    if (dynamic_cast<const SmtpException*>(&e))
        return "SmtpException";
    if (dynamic_cast<const ESocketException*>(&e))
        return "ESocketException";
    return "Exception";
}

std::string verbindungsHinweis() {
    return "Bitte Server, Port und Verbindungssicherheit in den Einstellungen prüfen."_cp;
}

SendSession::SendSession(EventLoop& loop, InfoLog& log, Anschluss anschluss)
    : loop_(loop), log_(log), anschluss_(std::move(anschluss)), client_(loop) {
    client_.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t e) {
        anfrageErledigt(rq, e);
    };
    client_.OnSessionClosed = [this](TCustomSmtpClient&, int) { verbindungGetrennt(); };
    // HtmlSmtpCli1Display: the client's transcript as plain lines.
    client_.OnDisplay = [this](TCustomSmtpClient&, const std::string& msg) {
        log_.display(msg, true);
    };
    client_.OnResponse = [this](TCustomSmtpClient&, const std::string& zeile) {
        antwortGelesen(zeile);
    };
    // Every encrypted session says how; a certificate taken unverified is warned about each time.
    client_.OnTlsStarted = [this](TCustomSmtpClient&, const TlsInfo& info) {
        log_.display(TlsLogLine(info), false);
        if (!info.verified)
            log_.display(TlsWarning(info), false);
    };
}

SendSession::~SendSession() {
    stoppeZeitlimit();
}

void SendSession::setzePhase(Phase neu) {
    phase_ = neu;
}

void SendSession::neueMail() {
    empfaengerAbgelehnt_ = 0;
    if (phase_ == Phase::Getrennt || phase_ == Phase::QuitNachEnde)
        setzePhase(Phase::Beendet);
    else if (phase_ == Phase::Angenommen || phase_ == Phase::Zugestellt)
        setzePhase(Phase::Ruht);
}

void SendSession::verbinde(std::chrono::milliseconds zeitlimit) {
    zeitlimit_ = zeitlimit;
    if (zeitlimit.count() > 0)
        zeitlimitTimer_ = loop_.startTimer(zeitlimit, [this] { zeitlimitAbgelaufen(); });
    stelle(smtpConnect);
}

void SendSession::stelle(TSmtpRequest anfrage) {
    (client_.*schritt(anfrage)->stellen)();
    anfrage_ = anfrage;
    setzePhase(anfrage == smtpQuit ? Phase::Quit : Phase::Anfrage);
}

void SendSession::beende() {
    if (phase_ == Phase::Anfrage)
        setzePhase(Phase::Beendet);
    else if (phase_ == Phase::Quit)
        setzePhase(Phase::QuitNachEnde);
    stoppeZeitlimit();
}

void SendSession::erledigt() {
    setzePhase(Phase::Ruht);
}

// HtmlSmtpCli1RequestDone: the next request of the table, or the one way a session fails.
void SendSession::anfrageErledigt(TSmtpRequest rq, std::uint16_t fehlercode) {
    const Phase vorher = phase_;
    // The client judges only the last recipient's reply; a mail goes out only to all of them.
    if (rq == smtpRcptTo && fehlercode == 0 && empfaengerAbgelehnt_ != 0)
        fehlercode = static_cast<std::uint16_t>(empfaengerAbgelehnt_);
    const bool lief = laeuft();
    if (rq == smtpData && fehlercode == 0 && !lief) {
        // The connection ended before this completion came: the mail went out all the same.
        setzePhase(Phase::Angenommen);
        anschluss_.beendet();
        return;
    }
    const bool getrennt = vorher == Phase::Getrennt && fehlercode != 0;
    if (!lief && rq != smtpQuit && !getrennt) {
        setzePhase(Phase::Ruht);
        anschluss_.ruht();
        return;
    }
    if (fehlercode > 0 && fehlercode < 10000)
        log_.display("ACHTUNG FEHLER! RequestDone Rq=" + std::to_string(rq) +
                         " Error=" + client_.ErrorMessage(),
                     false);
    else
        log_.display(
            "RequestDone Rq=" + std::to_string(rq) + " Error=" + std::to_string(fehlercode), false);
    // A security failure names its reason: the action alone does not tell what to do.
    std::string grund = TlsFailureReason(fehlercode, client_.ErrorMessage());
    if (!grund.empty())
        grund = "\n\r" + grund;
    const std::string meldung = "Fehler bei folgender SMTP-Server-Aktion: " + aktion(rq) + grund +
                                "\n\r" + hinweis(rq, fehlercode);
    if (getrennt) {
        // The close came first and ended the connection; this completion says what failed.
        setzePhase(Phase::Ruht);
        scheitere(meldung, false);
        anschluss_.ruht();
        return;
    }
    anschluss_.status("   SMTP-Server-Aktion: " + statusNach(rq, client_) + " ...");
    const bool datenGenommen = vorher == Phase::Quit || vorher == Phase::QuitNachEnde;
    if (fehlercode != 0) {
        setzePhase(datenGenommen ? Phase::Angenommen : Phase::Ruht);
        scheitere(meldung, true);
        return;
    }
    if (rq == smtpQuit) {
        log_.display("Fertig !", false);
        setzePhase(Phase::Zugestellt);
        anschluss_.beendet();
        return;
    }
    const auto n = naechste(rq, client_);
    if (!n) {
        setzePhase(Phase::Ruht);
        return;
    }
    try {
        stelle(*n);
    } catch (const std::exception& e) {
        // A request the client refuses (a lost connection it noticed first): end like a failure.
        setzePhase(rq == smtpData ? Phase::Angenommen : Phase::Ruht);
        scheitere("Fehler bei folgender SMTP-Server-Aktion: " + statusNach(rq, client_) + "\n\r" +
                      ausnahmeName(e) + ": " + e.what() + "\n\r" + hinweis(rq, 0),
                  true);
    }
}

void SendSession::scheitere(const std::string& text, bool beenden) {
    log_.display("Error, stop.", false);
    anschluss_.fehler(text);
    if (beenden)
        anschluss_.beendet();
}

// HtmlSmtpCli1SessionClosed: closed by the server, the network or our own abort.
void SendSession::verbindungGetrennt() {
    log_.display("Verbindung getrennt!", false);
    if (phase_ == Phase::Anfrage)
        setzePhase(Phase::Getrennt);
    else if (phase_ == Phase::Quit)
        setzePhase(Phase::QuitNachEnde);
    anschluss_.beendet();
}

// HtmlSmtpCli1Response: notes the first refused recipient.
void SendSession::antwortGelesen(const std::string& zeile) {
    if (!anfrageOffen() || anfrage_ != smtpRcptTo || zeile.size() < 3 ||
        (zeile.size() > 3 && zeile[3] == '-'))
        return;
    const auto code = alsGanzzahl(zeile.substr(0, 3));
    if (code && *code != 250 && *code != 251 && empfaengerAbgelehnt_ == 0)
        empfaengerAbgelehnt_ = *code;
}

// BAbbrechenClick
void SendSession::abbrechen() {
    log_.display("Aktion durch den Benutzer abgebrochen!", false);
    beende();
    client_.Abort();
}

void SendSession::zeitlimitAbgelaufen() {
    zeitlimitTimer_ = 0;
    if (!laeuft())
        return;
    const auto n = std::chrono::duration_cast<std::chrono::seconds>(zeitlimit_).count();
    const std::string dauer = std::to_string(n) + (n == 1 ? " Sekunde" : " Sekunden");
    log_.display("Zeitlimit von " + dauer + " abgelaufen, Verbindung abgebrochen!", false);
    beende();
    client_.Abort();
    const bool datenGenommen =
        phase_ == Phase::QuitNachEnde || phase_ == Phase::Angenommen || phase_ == Phase::Zugestellt;
    anschluss_.fehler("Der SMTP-Server hat die Sitzung nicht innerhalb von " + dauer +
                      " beendet; die Verbindung wurde abgebrochen." + "\n\r" +
                      (datenGenommen ? "Die eMail hatte der Server bereits angenommen."
                                     : "Die eMail wurde nicht verschickt.") +
                      "\n\r" +
                      "Bitte die Verbindung zum Server prüfen oder das Zeitlimit erhöhen "
                      "(Zeitlimit= in der Einstellungsdatei, beim Kommandozeilenprogramm "
                      "--timeout)."_cp);
    anschluss_.beendet();
}

void SendSession::stoppeZeitlimit() {
    if (zeitlimitTimer_ != 0)
        loop_.cancelTimer(zeitlimitTimer_);
    zeitlimitTimer_ = 0;
}

void SendSession::schliesse() {
    if (schliesst_)
        return;
    schliesst_ = true;
    client_.Abort();
    schliesst_ = false;
}

} // namespace tafelbot
