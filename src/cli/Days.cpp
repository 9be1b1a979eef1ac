#include "cli/Days.h"

#include "core/MainWorkflow.h"
#include "core/Schultage.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"

#include <algorithm>
#include <ostream>

namespace tafelbot::cli {

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
    Schultage tage = schultageAb(w.werte.AktDatum, count_, w.werte.SamstagsSchule, w.plan.Perioden,
                                 w.werte.Periode);
    following_.assign(tage.daten.begin() + 1, tage.daten.end());
    if (!tage.hinweis.empty())
        *err_ << "info: " << cp1252ToUtf8(tage.hinweis) << "\n";
}

} // namespace tafelbot::cli
