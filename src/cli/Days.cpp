#include "cli/Days.h"

#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"

#include <algorithm>
#include <ostream>

namespace tafelbot::cli {
namespace {

std::string datumLang(const std::string& jjjjmmtt) {
    return jjjjmmtt.substr(6, 2) + "." + jjjjmmtt.substr(4, 2) + "." + jjjjmmtt.substr(0, 4);
}

} // namespace

std::string nextSchoolDay(const std::string& datum, bool samstagsSchule) {
    const DatumZeit d = datumAusText(datum).value_or(DatumZeit{});
    const int tag = wochentag(d);
    int schritt = 1;
    if (samstagsSchule && tag == 6)
        schritt = 2;
    else if (!samstagsSchule && tag == 5)
        schritt = 3;
    return DatumZuText(d.plusTage(schritt));
}

std::optional<SchoolDays> SchoolDays::fromLine(const CommandLine& line, std::ostream& err) {
    SchoolDays days;
    const std::string* wert = line.value("days");
    if (!wert)
        return days;
    const auto n = alsGanzzahl(*wert);
    if (!n || *n < 1 || *n > 10) {
        err << "error: --days braucht eine Anzahl Schultage von 1 bis 10, nicht \"" << *wert
            << "\".\n";
        return std::nullopt;
    }
    days.count_ = *n;
    days.given_ = true;
    return days;
}

std::optional<DaysToFile> DaysToFile::fromLine(const CommandLine& line, std::ostream& err,
                                               const char* ohneOut) {
    auto overrides = planOverrides(line, err);
    auto days = SchoolDays::fromLine(line, err);
    const std::string* out = line.value("out");
    if (!overrides || !days)
        return std::nullopt;
    if (!out || out->empty()) {
        err << ohneOut;
        return std::nullopt;
    }
    return DaysToFile{std::move(*overrides), *days, *out};
}

int SchoolDays::run(const Overrides& overrides, std::ostream& err,
                    const std::function<int(const Overrides&)>& runDate) {
    err_ = &err;
    int status = runDate(overrides);
    for (std::size_t i = 0; i < following_.size() && status != ExitUsage; ++i) {
        const std::string datum = following_[i];
        status = std::max(status, runDate([&overrides, datum](Einstellungen& werte) {
                              overrides(werte);
                              werte.AktDatum = datum;
                          }));
    }
    return status;
}

void SchoolDays::started(const MainWorkflow& w) {
    if (planned_)
        return;
    planned_ = true;
    if (count_ < 2 || !w.planGelesen)
        return;
    const std::vector<TPeriode>& perioden = w.plan.Perioden;
    const TPeriode* periode =
        w.werte.Periode >= 1 && static_cast<std::size_t>(w.werte.Periode) <= perioden.size()
            ? &perioden[static_cast<std::size_t>(w.werte.Periode - 1)]
            : nullptr;
    std::string datum = w.werte.AktDatum;
    for (int i = 1; i < count_; ++i) {
        datum = nextSchoolDay(datum, w.werte.SamstagsSchule);
        if (periode && datumAusText(periode->Bis) && datum > periode->Bis) {
            *err_ << "info: Die Periode \"" << cp1252ToUtf8(periode->Name) << "\" endet am "
                  << datumLang(periode->Bis) << "; die Tage ab dem " << datumLang(datum)
                  << " werden nicht bearbeitet.\n";
            return;
        }
        following_.push_back(datum);
    }
}

} // namespace tafelbot::cli
