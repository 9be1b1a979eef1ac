#include "core/MainWorkflow.h"
#include "core/Schultage.h"
#include "mail/PlanDruck.h"
#include "plan/GpnLeser.h"
#include "plan/ZeilenBauer.h"
#include "settings/DatumText.h"
#include "ui/Befunde.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace tafelbot {

namespace {

std::string datumsFormatFehler(const std::string& text, const char* zusatz) {
    return "Die Datumseingabe \"" + text +
           "\" entspricht nicht\n\rdem erlaubten Format: "
           "\"tt.mm.jjjj\"" +
           zusatz + "!";
}

// Appends one day's rows to the rows of the days before it. A notice row carries no date of its
// own; among several days it needs one.
void haengeTagAn(Zeilenliste& alle, const Zeilenliste& tag, const std::string& datum) {
    const int versatz = static_cast<int>(alle.Zeilen.size());
    for (TVZeile zeile : tag.Zeilen) {
        if (zeile.Datum.empty())
            zeile.Datum = datum.substr(6, 2) + "." + datum.substr(4, 2) + ".";
        alle.Zeilen.push_back(std::move(zeile));
    }
    for (int index : tag.ZeilenFolge)
        alle.ZeilenFolge.push_back(versatz + index);
}

} // namespace

bool MainWorkflow::liesGpnDatei() {
    GpnErgebnis e = LiesGpnDatei({werte.GpnDatei, werte.Periode, werte.LehrerLangnamen,
                                  werte.FehlermeldungBeimEinlesen, gpnLeseHaken});
    zeige(e.befunde, log, ui);
    planGelesen = e.gelesen();
    if (!planGelesen) {
        // Rows of an earlier read must not outlive a read that failed: the file on disk is no
        // longer the plan they came from.
        zeilen = {};
        tabelle.uebergabe(0);
        return false;
    }
    plan = std::move(e.plan);
    werte.Periode = e.periode;
    lehrerListe = std::move(e.lehrerListe);
    ui.viewChanged(ViewPart::TeacherList);
    periodenListe = std::move(e.perioden.liste);
    periodenAuswahl = e.perioden.auswahl;
    periodenSichtbar = e.perioden.sichtbar;
    periodenButtonAktiv = e.perioden.buttonAktiv;
    ui.viewChanged(ViewPart::PeriodChoice);
    return true;
}

void MainWorkflow::erzeugeZeilen() {
    schultage.clear();
    tabelle.mehrereTage = false;
    if (!planGelesen) {
        zeilen = {};
        tabelle.uebergabe(0);
        return;
    }
    if (tage > 1) {
        erzeugeZeilenMehrererTage();
        return;
    }
    Befunde befunde;
    ErzeugeZeilen({werte, plan, befunde, zeilen,
                   [this](std::size_t anzahl) { tabelle.uebergabe(static_cast<int>(anzahl)); }});
    zeige(befunde, log, ui);
}

// Each day's rows are built as for that date alone, from a copy of the settings with its date.
void MainWorkflow::erzeugeZeilenMehrererTage() {
    const Schultage daten =
        schultageAb(werte.AktDatum, tage, werte.SamstagsSchule, plan.Perioden, werte.Periode);
    if (!daten.hinweis.empty())
        log.display(daten.hinweis, false);
    zeilen = {};
    Einstellungen fuerTag = werte;
    for (const std::string& datum : daten.daten) {
        fuerTag.AktDatum = datum;
        const DatumZeit d = datumAusText(datum).value_or(DatumZeit{});
        Schultag tag{datum, WochentagName(d), datumLang(datum), {}};
        Befunde befunde;
        ErzeugeZeilen({fuerTag, plan, befunde, tag.zeilen, [](std::size_t) {}});
        zeige(befunde, log, ui);
        haengeTagAn(zeilen, tag.zeilen, datum);
        schultage.push_back(std::move(tag));
    }
    tabelle.mehrereTage = true;
    tabelle.uebergabe(static_cast<int>(zeilen.Zeilen.size()));
}

void MainWorkflow::tageGewaehlt(int anzahl) {
    anzahl = std::clamp(anzahl, 1, HoechstensTage);
    if (anzahl == tage)
        return;
    tage = anzahl;
    erzeugeZeilen();
}

std::vector<std::string> MainWorkflow::seitenZumDrucken(bool nurOhneAdresse) const {
    std::vector<std::string> seiten;
    auto tag = [&](const Zeilenliste& z, const std::string& wochentag, const std::string& text) {
        const DruckTag druck{z, plan, werte.Mailspalten, werte.Ueberschriften, wochentag, text};
        for (std::string& seite : druckSeiten(druck, nurOhneAdresse))
            seiten.push_back(std::move(seite));
    };
    if (schultage.empty())
        tag(zeilen, wochentagLabel, datumFeld);
    for (const Schultag& s : schultage)
        tag(s.zeilen, s.wochentag, s.datumText);
    return seiten;
}

// A stored date that is no date (31.02., typed into the file) is reported and gives way to
// today, so that it is neither shown as 30.12.1899 nor saved again.
void MainWorkflow::beschrifteEdit() {
    std::optional<DatumZeit> gelesen = datumAusText(werte.AktDatum);
    if (!gelesen) {
        Str2DateTime(werte.AktDatum, ui);
        werte.AktDatum = DatumZuText(jetzt());
        gelesen = datumAusText(werte.AktDatum);
    }
    const DatumZeit d = gelesen.value();
    Kalenderdatum k = kalenderdatum(d);
    char text[40];
    std::snprintf(text, sizeof text, "%.2d.%.2d.%.4d", k.tag, k.monat, k.jahr);
    datumFeld = text;
    wochentagLabel = WochentagName(d);
    ui.viewChanged(ViewPart::DateField);
    erzeugeZeilen();
}

void MainWorkflow::naechsterSchultag() {
    Str2DateTime(werte.AktDatum, ui); // a date that is none is reported, then read as day zero
    werte.AktDatum = naechsterSchultagNach(werte.AktDatum, werte.SamstagsSchule);
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
    // An impossible day is reported as the date conversion reports it; the date shown before
    // stays in force.
    const std::string datum = text.substr(6, 4) + text.substr(3, 2) + text.substr(0, 2);
    if (!datumAusText(datum)) {
        Str2DateTime(datum, ui);
        ui.viewChanged(ViewPart::DateField); // the field shows the date in force again
        return;
    }
    werte.AktDatum = datum;
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
