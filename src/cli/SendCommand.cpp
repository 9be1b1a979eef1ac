// tafelbot-cli send: the button "eMail(s) senden" without the window.
#include "cli/Command.h"
#include "cli/SendSupport.h"
#include "core/MainWorkflow.h"
#include "mail/SendDriver.h"
#include "settings/Cp1252.h"
#include "smtp/PollEventLoop.h"

#include <ostream>
#include <set>

namespace tafelbot::cli {
namespace {

// Index of the first row (in row order) of this teacher, or -1.
int ersteZeileVon(const MainWorkflow& w, int lehrer) {
    for (std::size_t i = 0; i < w.zeilen.Zeilen.size(); ++i)
        if (w.zeilen.Zeilen[i].LehrerIndex == lehrer)
            return static_cast<int>(i);
    return -1;
}

// The teachers still marked for mailing, one entry per teacher.
std::set<int> markierteLehrer(const MainWorkflow& w) {
    std::set<int> lehrer;
    for (const TVZeile& z : w.zeilen.Zeilen)
        if (z.HatEMail && z.Senden)
            lehrer.insert(z.LehrerIndex);
    return lehrer;
}

// The teachers with rows on the date and no address: nobody tells them by mail.
std::size_t ohneAdresse(const MainWorkflow& w) {
    std::set<int> lehrer;
    for (const TVZeile& z : w.zeilen.Zeilen)
        if (!z.HatEMail && z.LehrerIndex >= 0)
            lehrer.insert(z.LehrerIndex);
    return lehrer.size();
}

void meldeVersendet(const TLehrer& t, std::ostream& out) {
    out << "versendet: " << cp1252ToUtf8(t.Kurzname) << " " << cp1252ToUtf8(t.Vorname) << " "
        << cp1252ToUtf8(t.Langname) << " <" << cp1252ToUtf8(t.EMail) << ">\n";
}

} // namespace

int runSend(const CommandLine& line, Streams& streams) {
    auto overrides = planOverrides(line, streams.err);
    auto options = sendOptions(line, streams.err);
    if (!overrides || !options)
        return ExitUsage;

    SendUi ui(line.flag("yes"), streams, options->password);
    PollEventLoop loop; // outlives the workflow's client
    MainWorkflow w(ui, settingsPath(line));
    w.attachEventLoop(loop);
    w.sitzungsZeitlimit = options->timeout;
    startWorkflow(w, line, *overrides, streams.err);
    if (!w.planGelesen) {
        streams.err << "error: Ohne gelesene gpn-Datei wird nichts versendet.\n";
        return ExitFailure;
    }

    std::optional<int> nurLehrer;
    if (const std::string* kurzname = line.value("teacher")) {
        nurLehrer = teacherIndex(w.plan, *kurzname, streams.err);
        if (!nurLehrer)
            return ExitUsage;
        const int zeile = ersteZeileVon(w, *nurLehrer);
        if (zeile < 0) {
            streams.err << "info: " << *kurzname << " hat am " << w.datumFeld
                        << " keine Vertretung; es ist nichts zu senden.\n";
            return exitStatus(true, ui);
        }
        // As if the teacher were highlighted in the table: that teacher alone, no question.
        w.tabelle.Lehrerfilter = w.zeilen.Zeilen[static_cast<std::size_t>(zeile)].Vertreter;
    }

    std::set<int> vorher = markierteLehrer(w);
    if (nurLehrer) // a teacher not marked is refused by the send driver with an error box
        vorher = vorher.count(*nurLehrer) ? std::set<int>{*nurLehrer} : std::set<int>{};
    w.SpeedButton5Click();
    const bool beendet = runUntilIdle(loop, w, static_cast<int>(vorher.size()), streams.err);

    const std::set<int> nachher = markierteLehrer(w);
    std::size_t gesendet = 0;
    for (int lehrer : vorher) {
        if (nachher.count(lehrer) || lehrer < 0)
            continue;
        meldeVersendet(w.plan.Lehrer.at(static_cast<std::size_t>(lehrer)), streams.out);
        ++gesendet;
    }
    streams.err << gesendet << " von " << vorher.size() << " eMails versendet";
    if (const std::size_t ohne = ohneAdresse(w); !nurLehrer)
        streams.err << "; " << ohne << (ohne == 1 ? " Lehrkraft" : " Lehrkräfte")
                    << " ohne eMail-Adresse nicht benachrichtigt";
    streams.err << "\n";
    const bool alle = gesendet == vorher.size() && beendet && !w.aufzeichnungOffen;
    return exitStatus(alle, ui);
}

} // namespace tafelbot::cli
