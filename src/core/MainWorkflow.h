#pragma once

#include "core/SendSession.h"
#include "core/ServerSettingsModel.h"
#include "core/TableModel.h"
#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"
#include "smtp/EventLoop.h"
#include "ui/InfoLog.h"
#include "ui/UiPort.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tafelbot {

struct Stundenzeiten;

// The main window as a controller, without a toolkit: the state the window shows and the
// operations its controls trigger. The Qt program and the command line drive the same object;
// the view reads the state below and redraws the part that `UiPort::viewChanged` names.
//
// The operations live in one source file per concern:
//   Startup.cpp   start-up, caption, purge of old records, closing, choosing a gpn file
//   PlanView.cpp  reading the gpn file, building the rows, date and period changes
//   Sending.cpp   the send queue, the SMTP session driver and the test mail
//   ServerSettings.cpp  saving, cancelling and loading the server settings dialog
class MainWorkflow {
public:
    // `iniPfad`: the settings file to use (see SettingsLocation for how it is found).
    MainWorkflow(UiPort& port, std::string pfad);

    // ---- state ----
    UiPort& ui;
    InfoLog log;
    std::string iniPfad;
    Einstellungen werte; // the values of the settings file
    Plan plan;
    Zeilenliste zeilen;
    // The substitution table: the sixteen lines, the scroll bar, the highlight.
    TableModel tabelle{ui, zeilen, werte};

    bool ersteAktivierung = true;

    // Window caption and application title.
    std::string caption;
    std::string anwendungsTitel;

    // Busy notice over the table.
    bool busyVisible = false;
    std::string busyText;

    // Date group: the date field's text and the weekday label.
    std::string datumFeld;
    std::string wochentagLabel;

    // Period dialog and tool-bar button, filled by the gpn reader.
    std::vector<std::string> periodenListe;
    int periodenAuswahl = -1; // selected entry, -1 for none
    int periodenSichtbar = 0; // entries shown at once when the list drops down
    bool periodenButtonAktiv = false;

    // Teacher list of the server settings dialog ("+ Name" / "-  Name").
    std::vector<std::string> lehrerListe;

    // The server settings dialog's fields.
    ServerSettingsModel serverDialog;
    // The password prompt's input field. It outlives the prompt: the send driver keeps the
    // password of a run here.
    std::string kennwortEingabe;

    // ---- start-up and closing ----
    // The first activation of the window: settings, data, rows, purge. Later calls do nothing.
    // `overrides` changes the values just read for this run (the command line's --gpn, --date,
    // --period); every save writes the stored values of the fields they changed instead.
    void formActivate(const std::function<void(Einstellungen&)>& overrides = {});
    // The values a save writes: `werte`, with the file's own gpn file name, date and period
    // where the run overrode them.
    Einstellungen zuSchreiben() const;
    // Removes the sent-mail records older than LoeschTage days before the newest plan date.
    void loescheAlteMails();
    // Writes the settings file; the window closes whatever the result.
    void formCloseQuery();
    // The user chose another gpn file in the file dialog.
    void gpnDateiGewaehlt(const std::string& pfad);

    // ---- plan, rows, date and period ----
    // The plan holds a whole gpn file, read by the last read. False before the first read and
    // after a failed one (file missing, unreadable, cut off, changed while it was read): then
    // there are no rows, so no notice row and nothing to send, until a read succeeds.
    bool planGelesen = false;
    // Test seam of the reader: runs between reading the file and checking that it stayed as it
    // was.
    std::function<void()> gpnLeseHaken;
    // Reads the gpn file named in the settings into the plan; false when it could not be read.
    bool liesGpnDatei();
    // Builds the rows of AktDatum and hands them to the table; none without a plan.
    void erzeugeZeilen();
    // Shows AktDatum in the date field and rebuilds the rows.
    void beschrifteEdit();
    void naechsterSchultag();                      // SpeedButton1Click
    void vorigerSchultag();                        // SpeedButton2Click
    void datumEingegeben(const std::string& text); // Edit1KeyPress with Enter
    void periodeGewaehlt(int eintrag);             // TPerioden.Button1Click, -1 = none

    // ---- several school days (PlanView.cpp) ----
    // The school days the table shows from AktDatum on ("Tage:", 1 to 5). With more than one,
    // `zeilen` holds the days' rows one after another and `schultage` each day's own rows as a
    // run for that date alone builds them; sending mails each day in a round of its own.
    static constexpr int HoechstensTage = 5;
    int tage = 1;
    struct Schultag {
        std::string datum;     // YYYYMMDD
        std::string wochentag; // "Montag"
        std::string datumText; // "07.12.2026"
        Zeilenliste zeilen;
    };
    std::vector<Schultag> schultage; // empty with one day
    void tageGewaehlt(int anzahl);
    // The pages of the plan shown, for printing (mail/PlanDruck.h): every teacher with rows, or
    // only those without an address.
    std::vector<std::string> seitenZumDrucken(bool nurOhneAdresse) const;

    // ---- server settings (ServerSettings.cpp) ----
    // "Ok": the dialog's fields into the record, then the settings file written.
    bool einstellungenSpeichern();
    // "Abbrechen": the settings file read again, which puts the stored values back into the
    // record and the dialog's fields.
    void einstellungenAbbrechen();
    // The dialog's fields from the record, after every reading of the settings file.
    void serverDialogLaden();

    // Shows or hides the busy notice and redraws it at once.
    void zeigeBusy(bool sichtbar);

    // ---- sending (Sending.cpp) ----
    // The send panel over the table; while it shows, the tool bar is hidden and the table
    // disabled.
    struct SendePanel {
        bool sichtbar = false;
        std::string absender;     // "Absender"
        std::string empfaenger;   // "Emfänger"
        std::string ueberschrift; // "Überschrift"
        std::string status;       // the status line
    };
    SendePanel sendePanel;
    int aktuelleZeile = -1; // index into zeilen.Zeilen of the row being mailed
    std::string sendStamp;  // YYYYMMDDhhmm of the mail being sent
    // The settings file could not be written after the last recorded mail; its records are in
    // memory and reach the file with the next save.
    bool aufzeichnungOffen = false;
    // Longest time one SMTP session may take before it is aborted, so that a silent server
    // never holds the send panel: the command line's --timeout; zero: the settings' Zeitlimit.
    std::chrono::milliseconds sitzungsZeitlimit{0};
    // The limit in force: sitzungsZeitlimit, else Zeitlimit seconds; zero for none.
    std::chrono::milliseconds zeitlimit() const;

    // What the last send run did: the summary line and the command line's exit status read it.
    struct Versandlauf {
        int lehrkraefte = 0; // teachers the run set out to mail (marked, with an address field)
        int versendet = 0;   // mails that went out
        int ohneAdresse = 0; // teachers with rows but without an address: nobody told them
        std::vector<std::string> ungueltig;     // skipped: their address is no address
        std::vector<std::string> nichtVermerkt; // mailed, but not recorded in the file
        bool fehler = false; // an error box, a cancel, a skipped teacher, a missing password
        bool offen = false;  // started, its summary not yet given
        // "13 von 13 eMails versendet; ...": the line the info log ends the run with.
        std::string zusammenfassung;
    };
    Versandlauf versandlauf;
    // True when the last run mailed every teacher it set out to mail and recorded every mail.
    bool versandFehlerfrei() const;
    // Gives the workflow the event loop its SMTP client runs on and creates the client.
    void attachEventLoop(EventLoop& loop);
    // A send run over several days is under way (between its rounds too).
    bool mehrtagesVersandLaeuft() const { return tageslauf_.aktiv; }
    // Ends a session in progress and removes the client, before the loop goes.
    void detachEventLoop();
    // True when no session runs and no completion of the client is still to come.
    bool versandRuht() const;
    // A connection is being driven (`Sending`).
    bool versandLaeuft() const;
    // The last connection ended with a clean QUIT (`MailSent`).
    bool mailVerschickt() const;

    // "eMail(s) senden" (SpeedButton5Click): the highlighted teacher alone, or every marked
    // teacher after the question.
    void sendeMarkierte();
    // The highlighted teacher's path of "eMail(s) senden" for the teacher with this index
    // (the command line's --teacher): that teacher alone, no question, no queue afterwards.
    void sendeAnLehrer(int lehrerIndex);
    void sendeAnNaechsten();  // MailsSenden: the next marked teacher
    void verfasseUndSende();  // SendMailTo: composes the current row's mail, then connects
    void starteVerbindung();  // StartSend: checks, asks the password, connects
    void brecheVersandAb();   // BAbbrechenClick: "Abbrechen" of the send panel
    void verbindungBeendet(); // EndSend: after every end of a connection; records, goes on
    // The client's events (HtmlSmtpCli1RequestDone, HtmlSmtpCli1SessionClosed, ...) are the
    // send session's (core/SendSession.h).
    // The server settings dialog's "Test-eMail senden" after saving: a plain-text mail that is
    // never recorded. Returns whether a connection is now being driven (the dialog then closes).
    bool testMailSenden(const std::string& empfaenger, const std::string& betreff,
                        const std::vector<std::string>& text);
    // The mail of row `zeile`'s teacher as the DATA request would transmit it (header and
    // body items, before dot-stuffing), composed but not sent; nullopt after an error box when
    // the teacher's address is no address.
    std::optional<std::vector<std::string>> mailZeilen(int zeile);

private:
    void erzeugeZeilenMehrererTage();
    void sendeRunde(bool fragen);
    void sendeMehrereTage();
    void uebernimmHaken();
    void stelleTagEin(const Schultag& tag);
    void starteTagesrunde();
    void tagesrundeVorbei();
    void nachTagesrunde();
    void bereiteMailVor();     // the composer's result into the client
    void konfiguriereClient(); // server, sender and recipients into the client
    void pruefeLaufende();
    void vermerke(bool weiter);
    bool adressenSicher();
    int markierterLehrer() const;
    void beginneLauf(int nurLehrer);
    bool adresseGueltig(int zeile);
    bool laufVorbereiten();
    void versandFehler(const std::string& text);
    void meldeStundenzeiten(const Stundenzeiten& zeiten);

    struct Gespeichert {
        std::string gpnDatei;
        std::string aktDatum;
        std::int32_t periode;
    };
    std::optional<Gespeichert> gespeichert_; // the file's values under this run's overrides

    // The mail client's connection. Exists once an event loop is attached; the loop must
    // outlive it.
    std::unique_ptr<SendSession> versand_;
    int nurLehrer_ = -1;                 // the run mails this teacher alone; -1: the queue
    std::set<int> uebersprungen_;        // teachers of this run skipped for their address
    std::string gemeldeteStundenzeiten_; // the lesson-time setting whose faults were logged

    // A send run over several days: one round per day in `tage`, copies of the days shown when
    // it began, so that nothing done between its rounds changes what it sends.
    struct Tageslauf {
        bool aktiv = false;
        std::string erster; // YYYYMMDD: the window's date, which the run gives back
        std::vector<Schultag> tage;
        std::size_t naechster = 0;
        bool nurMarkierter = false; // the highlighted teacher alone
        int lehrer = -1;
        bool rundeVorbei = false;
    };
    Tageslauf tageslauf_;
    EventLoop* loop_ = nullptr;
    // Tasks posted to the loop check that the workflow still lives.
    std::shared_ptr<int> lebt_ = std::make_shared<int>(0);
};

} // namespace tafelbot
