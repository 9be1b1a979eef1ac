// tafelbot-cli send: the button "eMail(s) senden" without the window.
#include "cli/Command.h"
#include "cli/SendSupport.h"
#include "core/MainWorkflow.h"
#include "mail/SendQueue.h"
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
    }

    const std::set<int> vorher = markierteLehrer(w);
    if (nurLehrer) // by index: two teachers may show the same name
        w.sendeAnLehrer(*nurLehrer);
    else
        w.sendeMarkierte();
    const bool beendet = runUntilIdle(loop, w, static_cast<int>(vorher.size()), streams.err);

    const std::set<int> nachher = markierteLehrer(w);
    for (int lehrer : vorher)
        if (!nachher.count(lehrer) && lehrer >= 0 && (!nurLehrer || lehrer == *nurLehrer))
            meldeVersendet(w.plan.Lehrer.at(static_cast<std::size_t>(lehrer)), streams.out);
    const MainWorkflow::Versandlauf& lauf = w.versandlauf;
    streams.err << lauf.versendet << " von " << lauf.lehrkraefte << " eMails versendet";
    if (!nurLehrer)
        streams.err << "; " << lauf.ohneAdresse
                    << (lauf.ohneAdresse == 1 ? " Lehrkraft" : " Lehrkräfte")
                    << " ohne eMail-Adresse nicht benachrichtigt";
    streams.err << "\n";
    return exitStatus(beendet && !w.aufzeichnungOffen && w.versandFehlerfrei(), ui);
}

} // namespace tafelbot::cli
