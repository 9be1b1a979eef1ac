#include "cli/Command.h"

#include "cli/CliUi.h"
#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsLocation.h"

#include <ostream>

namespace tafelbot::cli {
namespace {

// Windows-1252 lower case: ASCII and the accented letters À to Þ (not the sign ×).
std::string kleinCp1252(const std::string& text) {
    std::string klein = text;
    for (char& c : klein) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
            c = static_cast<char>(b + 0x20);
    }
    return klein;
}

bool echterLehrer(const TLehrer& l) {
    return l.Kurzname != "?" && l.Kurzname != "*";
}

} // namespace

const std::string* CommandLine::value(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

int exitStatus(bool done, const CliUi& ui) {
    return done && ui.errorBoxes() == 0 ? ExitOk : ExitFailure;
}

std::optional<Overrides> planOverrides(const CommandLine& line, std::ostream& err) {
    std::optional<std::string> gpn;
    std::optional<std::string> datum;
    std::optional<std::int32_t> periode;
    if (const std::string* wert = line.value("gpn"))
        gpn = utf8ToCp1252(*wert); // the settings keep Windows-1252 text
    if (const std::string* wert = line.value("date")) {
        if (wert->size() != 8 || !datumAusText(*wert)) {
            err << "error: --date braucht ein Datum, das es gibt, als JJJJMMTT (z.B. 20261207), "
                   "nicht \""
                << *wert << "\".\n";
            return std::nullopt;
        }
        datum = *wert;
    }
    if (const std::string* wert = line.value("period")) {
        periode = alsGanzzahl(*wert);
        if (!periode || *periode < 1) {
            err << "error: --period braucht die Nummer einer Periode (1, 2, ...), nicht \"" << *wert
                << "\".\n";
            return std::nullopt;
        }
    }
    return [gpn, datum, periode](Einstellungen& werte) {
        if (gpn)
            werte.GpnDatei = *gpn;
        if (datum)
            werte.AktDatum = *datum;
        if (periode)
            werte.Periode = *periode;
    };
}

void startWorkflow(MainWorkflow& w, const CommandLine& line, const Overrides& overrides,
                   std::ostream& err) {
    w.formActivate(overrides);
    if (!w.planGelesen)
        err << "error: Die gpn-Datei \"" << cp1252ToUtf8(w.werte.GpnDatei)
            << "\" wurde nicht gelesen. Bitte --gpn DATEI angeben oder den Pfad in der "
               "Einstellungsdatei prüfen.\n";
    const std::string* periode = line.value("period");
    if (!periode || !w.planGelesen || std::to_string(w.werte.Periode) == *periode)
        return;
    const std::size_t anzahl = w.periodenListe.size();
    err << "info: Die gpn-Datei hat keine Periode " << *periode;
    if (anzahl == 0)
        err << " (sie kennt keine Perioden)";
    else
        err << " (nur 1 bis " << anzahl << ")";
    err << "; verwendet wird Periode " << w.werte.Periode << ".\n";
}

std::optional<int> teacherIndex(const Plan& plan, const std::string& utf8Name, std::ostream& err) {
    const std::string name = utf8ToCp1252(utf8Name);
    std::vector<int> gleich;
    for (std::size_t i = 0; i < plan.Lehrer.size(); ++i) {
        const TLehrer& l = plan.Lehrer[i];
        if (echterLehrer(l) && l.Kurzname == name)
            return static_cast<int>(i); // exact beats a match that ignores case
        if (echterLehrer(l) && kleinCp1252(l.Kurzname) == kleinCp1252(name))
            gleich.push_back(static_cast<int>(i));
    }
    if (gleich.size() == 1)
        return gleich.front();
    if (gleich.empty())
        err << "error: Eine Lehrkraft mit dem Kurznamen \"" << utf8Name
            << "\" gibt es in der gpn-Datei nicht. Bitte einen dieser Kurznamen angeben:";
    else
        err << "error: Mehrere Lehrkräfte passen zum Kurznamen \"" << utf8Name
            << "\". Bitte den Kurznamen genau so schreiben wie einer von diesen:";
    for (const TLehrer& l : plan.Lehrer)
        if (echterLehrer(l))
            err << " " << cp1252ToUtf8(l.Kurzname);
    err << "\n";
    return std::nullopt;
}

std::string settingsPath(const CommandLine& line) {
    return settingsFilePath(line.iniPath);
}

} // namespace tafelbot::cli
