#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/InfoLog.h"
#include "core/ServerSettingsModel.h"
#include "core/TableModel.h"
#include "core/UiPort.h"
#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"

namespace tafelbot {

// The main window as a controller, without a toolkit: the state the window shows and the
// operations its controls trigger. The Qt program and the command line drive the same object;
// the view reads the state below and redraws the part that `UiPort::viewChanged` names.
//
// The operations live in one source file per concern:
//   Startup.cpp   start-up, caption, purge of old records, closing, choosing a gpn file
//   PlanView.cpp  reading the gpn file, building the rows, date and period changes
class MainWorkflow {
public:
    // `iniPfad`: the settings file to use (see SettingsLocation for how it is found).
    MainWorkflow(UiPort& ui, std::string iniPfad);

    // ---- state ----
    UiPort& ui;
    InfoLog log;
    std::string iniPfad;
    Einstellungen werte;  // the values of the settings file
    Plan plan;
    Zeilenliste zeilen;
    // The substitution table: the sixteen lines, the scroll bar, the highlight.
    TableModel tabelle{ui, zeilen, werte};

    bool ersteAktivierung = true;
    bool sending = false;

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
    int periodenAuswahl = -1;       // selected entry, -1 for none
    int periodenSichtbar = 0;       // entries shown at once when the list drops down
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
    // --period); they reach the file only with the next save.
    void formActivate(const std::function<void(Einstellungen&)>& overrides = {});
    // Removes the sent-mail records older than LoeschTage days before the newest plan date.
    void loescheAlteMails();
    // Writes the settings file; the window closes whatever the result.
    void formCloseQuery();
    // The user chose another gpn file in the file dialog.
    void gpnDateiGewaehlt(const std::string& pfad);

    // ---- plan, rows, date and period ----
    // Reads the gpn file named in the settings into the plan; false when it could not be read.
    bool liesGpnDatei();
    // Builds the rows of AktDatum and hands them to the table.
    void erzeugeZeilen();
    // Shows AktDatum in the date field and rebuilds the rows.
    void beschrifteEdit();
    void naechsterSchultag();                           // SpeedButton1Click
    void vorigerSchultag();                             // SpeedButton2Click
    void datumEingegeben(const std::string& text);      // Edit1KeyPress with Enter
    void periodeGewaehlt(int eintrag);                  // TPerioden.Button1Click, -1 = none

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
};

}  // namespace tafelbot
