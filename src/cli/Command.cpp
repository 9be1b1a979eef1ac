#include "cli/Command.h"

#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsLocation.h"

#include <ostream>

namespace tafelbot::cli {

const std::string* CommandLine::value(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<std::function<void(Einstellungen&)>> planOverrides(const CommandLine& line,
                                                                 std::ostream& err) {
    std::optional<std::string> gpn;
    std::optional<std::string> datum;
    std::optional<std::int32_t> periode;
    if (const std::string* wert = line.value("gpn"))
        gpn = utf8ToCp1252(*wert); // the settings keep Windows-1252 text
    if (const std::string* wert = line.value("date")) {
        if (!datumAusText(*wert)) {
            err << "tafelbot-cli: --date needs a date as YYYYMMDD, not \"" << *wert << "\"\n";
            return std::nullopt;
        }
        datum = *wert;
    }
    if (const std::string* wert = line.value("period")) {
        periode = alsGanzzahl(*wert);
        if (!periode) {
            err << "tafelbot-cli: --period needs a number, not \"" << *wert << "\"\n";
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

std::string settingsPath(const CommandLine& line) {
    return settingsFilePath(line.iniPath);
}

} // namespace tafelbot::cli
