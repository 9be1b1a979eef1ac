#pragma once

#include "smtp/EventLoop.h"
#include "smtp/HtmlSmtpCli.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace tafelbot {

class InfoLog;

// The class name an error box gives a caught exception.
std::string ausnahmeName(const std::exception& e);
// The line an error box of a failed connection adds: what to check.
std::string verbindungsHinweis();

// One SMTP connection of a send run: the client, the connection's time limit and where the
// connection stands, driven request by request from the client's completions. What a run does
// with the outcome (the record, the next teacher) is the run's (core/Sending.cpp).
class SendSession {
public:
    // Where the connection stands; every question the run asks is answered from this one value.
    enum class Phase {
        Ruht,     // no connection, no completion due
        Anfrage,  // a request runs; its completion issues the next one
        Beendet,  // ended (error, cancel, time limit) while a request ran; its completion is due
        Getrennt, // the server closed while a request ran; its completion says what failed
        Quit,     // the server took the mail; QUIT runs
        QuitNachEnde, // the server took the mail; the connection ended while QUIT ran
        Angenommen,   // the server took the mail and nothing is due: it went out without a QUIT
        Zugestellt,   // QUIT done: the mail went out
    };

    // What the session tells the run.
    struct Anschluss {
        std::function<void()> beendet;                  // the connection ended (EndSend)
        std::function<void(const std::string&)> fehler; // an error box
        std::function<void(const std::string&)> status; // the send panel's status line
        std::function<void()> ruht;                     // the last due completion came
    };

    SendSession(EventLoop& loop, InfoLog& log, Anschluss anschluss);
    ~SendSession();
    SendSession(const SendSession&) = delete;
    SendSession& operator=(const SendSession&) = delete;

    THtmlSmtpCli& client() { return client_; }

    // A new mail: what the previous connection left (its outcome, a refused recipient) is
    // forgotten; a completion still due stays due.
    void neueMail();
    // Issues Connect with the client as configured; the time limit (zero: none) runs from now.
    // Throws what Connect throws.
    void verbinde(std::chrono::milliseconds zeitlimit);
    // No request is chained any more, the time limit stops (the first step of EndSend).
    void beende();
    // The user's cancel: ends the connection and aborts it.
    void abbrechen();
    // Aborts the connection, if one is open; a call from inside the abort does nothing.
    void schliesse();
    // The mail that went out is dealt with: the session rests.
    void erledigt();

    Phase phase() const { return phase_; }
    bool laeuft() const { return phase_ == Phase::Anfrage || phase_ == Phase::Quit; } // `Sending`
    bool ruht() const {
        return phase_ == Phase::Ruht || phase_ == Phase::Angenommen || phase_ == Phase::Zugestellt;
    }
    bool zugestellt() const { return phase_ == Phase::Zugestellt; } // `MailSent`
    // The mail went out: QUIT done, or the data taken and no QUIT completion due any more.
    bool verschickt() const { return phase_ == Phase::Zugestellt || phase_ == Phase::Angenommen; }

private:
    void setzePhase(Phase neu);
    bool anfrageOffen() const { return !ruht(); }
    void stelle(TSmtpRequest anfrage);
    void anfrageErledigt(TSmtpRequest rq, std::uint16_t fehlercode); // HtmlSmtpCli1RequestDone
    void scheitere(const std::string& text, bool beenden);
    void verbindungGetrennt();                     // HtmlSmtpCli1SessionClosed
    void antwortGelesen(const std::string& zeile); // HtmlSmtpCli1Response
    void zeitlimitAbgelaufen();
    void stoppeZeitlimit();

    EventLoop& loop_;
    InfoLog& log_;
    Anschluss anschluss_;
    THtmlSmtpCli client_;
    Phase phase_ = Phase::Ruht;
    TSmtpRequest anfrage_ = smtpConnect; // the request issued last
    int empfaengerAbgelehnt_ = 0;        // reply code of the first refused recipient
    std::chrono::milliseconds zeitlimit_{0};
    EventLoop::TimerId zeitlimitTimer_ = 0;
    bool schliesst_ = false; // inside schliesse(): the abort reports the close back
};

} // namespace tafelbot
