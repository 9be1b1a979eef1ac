#include "core/MainWorkflow.h"
#include "plan/GpnLeser.h"
#include "plan/ZeilenBauer.h"
#include "settings/DatumText.h"

#include <cstdio>

namespace tafelbot {

namespace {

std::string datumsFormatFehler(const std::string& text, const char* zusatz) {
    return "Die Datumseingabe \"" + text +
           "\" entspricht nicht\n\rdem erlaubten Format: "
           "\"tt.mm.jjjj\"" +
           zusatz + "!";
}

} // namespace

bool MainWorkflow::liesGpnDatei() {
    return gpnGelesen = LiesGpnDatei({werte, plan, log, ui, periodenListe, periodenAuswahl,
                                      periodenSichtbar, periodenButtonAktiv, lehrerListe});
}

void MainWorkflow::erzeugeZeilen() {
    ErzeugeZeilen({werte, plan, log, ui, zeilen,
                   [this](std::size_t anzahl) { tabelle.uebergabe(static_cast<int>(anzahl)); }});
}

void MainWorkflow::beschrifteEdit() {
    DatumZeit d = Str2DateTime(werte.AktDatum, ui);
    Kalenderdatum k = kalenderdatum(d);
    char text[40];
    std::snprintf(text, sizeof text, "%.2d.%.2d.%.4d", k.tag, k.monat, k.jahr);
    datumFeld = text;
    wochentagLabel = WochentagName(d);
    ui.viewChanged(ViewPart::DateField);
    erzeugeZeilen();
}

void MainWorkflow::naechsterSchultag() {
    DatumZeit d = Str2DateTime(werte.AktDatum, ui);
    int tag = wochentag(d);
    int schritt = 1;
    if (werte.SamstagsSchule && tag == 6)
        schritt = 2;
    else if (!werte.SamstagsSchule && tag == 5)
        schritt = 3;
    werte.AktDatum = DatumZuText(d.plusTage(schritt));
    beschrifteEdit();
}

void MainWorkflow::vorigerSchultag() {
    DatumZeit d = Str2DateTime(werte.AktDatum, ui);
    int schritt = 1;
    if (wochentag(d) == 1)
        schritt = werte.SamstagsSchule ? 2 : 3;
    werte.AktDatum = DatumZuText(d.plusTage(-schritt));
    beschrifteEdit();
}

void MainWorkflow::datumEingegeben(const std::string& text) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.') {
        ui.showError(datumsFormatFehler(text, ""));
        return;
    }
    if (!alsGanzzahl(text.substr(0, 2)) || !alsGanzzahl(text.substr(3, 2)) ||
        !alsGanzzahl(text.substr(6, 4))) {
        ui.showError(datumsFormatFehler(text, " (falsche Integerwerte)"));
        return;
    }
    werte.AktDatum = text.substr(6, 4) + text.substr(3, 2) + text.substr(0, 2);
    beschrifteEdit();
}

void MainWorkflow::periodeGewaehlt(int eintrag) {
    // No entry selected: the period in force stays.
    if (eintrag < 0 || eintrag == werte.Periode - 1)
        return;
    werte.Periode = eintrag + 1;
    zeigeBusy(true);
    ui.viewChanged(ViewPart::Window);
    if (liesGpnDatei())
        erzeugeZeilen();
    zeigeBusy(false);
}

} // namespace tafelbot
