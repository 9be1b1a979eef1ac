#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/FixeTexte.h"
#include "settings/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tafelbot {

namespace {

std::string grundCaption() {
    return FixeTexte::programmNameVersion() + "  (" + FixeTexte::autorZeile() + ")";
}

// The caption names the data file without its extension; a name that has no extension of three
// characters shows as "???".
std::string captionMitDatei(const std::string& gpnDatei) {
    auto trenner = gpnDatei.find_last_of("\\/:");
    std::string name = trenner == std::string::npos ? gpnDatei : gpnDatei.substr(trenner + 1);
    bool mitEndung = name.size() >= 4 && name[name.size() - 4] == '.';
    return grundCaption() + "  -  " + (mitEndung ? name.substr(0, name.size() - 4) : "???");
}

// The date text `tage` days before `datum`, as a number; held inside the years 1 to 9999 so
// that an absurd number of days neither wraps nor yields a text that is no date.
std::int32_t grenzeVor(const DatumZeit& datum, int tage) {
    const std::int64_t erster = datumZeitAus(1, 1, 1)->tag;
    const std::int64_t letzter = datumZeitAus(9999, 12, 31)->tag;
    std::int64_t tag = datum.tag - static_cast<std::int64_t>(tage);
    tag = tag < erster ? erster : (tag > letzter ? letzter : tag);
    return alsGanzzahl(DatumZuText(DatumZeit{tag, 0})).value_or(0);
}

} // namespace

MainWorkflow::MainWorkflow(UiPort& port, std::string pfad)
    : ui(port), log(port), iniPfad(std::move(pfad)) {
    setzeStandardwerte(werte);
}

void MainWorkflow::formActivate(const std::function<void(Einstellungen&)>& overrides) {
    if (!ersteAktivierung)
        return;
    ersteAktivierung = false;

    caption = grundCaption();
    anwendungsTitel = FixeTexte::programmNameVersion();
    ui.viewChanged(ViewPart::Caption);
    busyText = "gpn-Datei wird geladen und Datenstrukturen werden aufgebaut ...";

    // Whatever could be read is in force; the messages have said what could not.
    IniLesen(werte, iniPfad, ui);
    if (overrides) {
        gespeichert_ = Gespeichert{werte.GpnDatei, werte.AktDatum, werte.Periode};
        overrides(werte);
    }
    serverDialogLaden();

    caption = captionMitDatei(werte.GpnDatei);
    ui.viewChanged(ViewPart::Caption);
    ui.viewChanged(ViewPart::Window);

    plan = Plan{};
    tabelle.anlegen();
    tabelle.AnzeigeZeilen = 0;
    zeigeBusy(true);
    liesGpnDatei();
    beschrifteEdit();
    zeigeBusy(false);
    ui.viewChanged(ViewPart::Table);

    loescheAlteMails();
}

Einstellungen MainWorkflow::zuSchreiben() const {
    Einstellungen datei = werte;
    // A send run over several days holds each day's date in turn; the window's date stays.
    if (tageslauf_.aktiv)
        datei.AktDatum = tageslauf_.erster;
    if (gespeichert_) {
        datei.GpnDatei = gespeichert_->gpnDatei;
        datei.AktDatum = gespeichert_->aktDatum;
        datei.Periode = gespeichert_->periode;
    }
    return datei;
}

void MainWorkflow::loescheAlteMails() {
    auto& mails = werte.GesendeteMails;
    if (mails.empty())
        return;
    const std::int32_t grenze =
        grenzeVor(Str2DateTime(mails.front().substr(0, 8), ui), werte.LoeschTage);

    std::size_t behalten = 0;
    std::size_t i = 0;
    bool fehler = false;
    for (; i < mails.size(); ++i) {
        auto datum = alsGanzzahl(std::string_view(mails[i]).substr(0, 8));
        if (!datum) {
            fehler = true;
            break;
        }
        if (*datum < grenze)
            continue;
        if (behalten != i)
            mails[behalten] = std::move(mails[i]);
        ++behalten;
    }
    // After a failure the records from the faulty one on stay as they are.
    if (behalten != i)
        std::move(mails.begin() + static_cast<std::ptrdiff_t>(i), mails.end(),
                  mails.begin() + static_cast<std::ptrdiff_t>(behalten));
    mails.resize(behalten + (mails.size() - i));
    if (fehler)
        ui.showError("Fehler beim Löschen der Informationen über bisher gesendete eMails"_cp +
                     Zeilenumbruch + "in der Einstellungsdatei \"Tafelbot.ini\"!");
}

void MainWorkflow::formCloseQuery() {
    IniSchreiben(zuSchreiben(), iniPfad, ui);
}

void MainWorkflow::gpnDateiGewaehlt(const std::string& pfad) {
    werte.GpnDatei = pfad;
    if (gespeichert_)
        gespeichert_->gpnDatei = pfad; // chosen, not overridden
    IniSchreiben(zuSchreiben(), iniPfad, ui);
    zeigeBusy(true);
    if (liesGpnDatei())
        erzeugeZeilen();
    zeigeBusy(false);
    caption = captionMitDatei(werte.GpnDatei);
    ui.viewChanged(ViewPart::Caption);
}

void MainWorkflow::zeigeBusy(bool sichtbar) {
    busyVisible = sichtbar;
    ui.viewChanged(ViewPart::BusyNotice);
}

} // namespace tafelbot
