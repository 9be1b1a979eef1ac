// tafelbot-cli print: the day's plan as one HTML file, a page per teacher, for printing.
#include "cli/CliUi.h"
#include "cli/Command.h"
#include "cli/Days.h"
#include "core/MainWorkflow.h"
#include "mail/PlanDruck.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"

#include <ostream>

namespace tafelbot::cli {

int runPrint(const CommandLine& line, Streams& streams) {
    auto lauf = DaysToFile::fromLine(
        line, streams.err, "error: print braucht --out DATEI.html, die Datei für den Plan.\n");
    if (!lauf)
        return ExitUsage;
    const std::string& out = lauf->out;
    std::vector<std::string> seiten;
    int status = lauf->days.run(lauf->overrides, streams.err, [&](const Overrides& fuerTag) {
        CliUi ui(CliUi::Mode::Print, false, streams.err, streams.in);
        MainWorkflow w(ui, settingsPath(line));
        startWorkflow(w, line, fuerTag, streams.err);
        lauf->days.started(w);
        for (std::string& seite : w.seitenZumDrucken(line.flag("ohne-adresse")))
            seiten.push_back(std::move(seite));
        return exitStatus(w.planGelesen, ui);
    });
    if (status == ExitUsage)
        return status;
    std::string grund;
    if (!platform::replaceFileAtomically(out, cp1252ToUtf8(druckDokument(seiten, "utf-8")),
                                         &grund)) {
        streams.err << "error: " << out << " kann nicht geschrieben werden: " << grund
                    << ". Bitte Pfad, Platz und Schreibrechte prüfen.\n";
        return ExitFailure;
    }
    streams.out << out << ": " << seiten.size() << (seiten.size() == 1 ? " Seite" : " Seiten")
                << "\n";
    return status;
}

} // namespace tafelbot::cli
