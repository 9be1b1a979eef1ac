// tafelbot-cli send: the button "eMail(s) senden" without the window.
#include "cli/Command.h"
#include "cli/Days.h"
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

namespace {

// The send run of one date: a run for that date alone.
int sendForDate(const CommandLine& line, Streams& streams, const Overrides& overrides,
                SchoolDays& days, SendUi& ui, const SendOptions& options) {
    const int fehlerVorher = ui.errorBoxes(); // the ones of earlier dates are counted there
    PollEventLoop loop;                       // outlives the workflow's client
    MainWorkflow w(ui, settingsPath(line));
    w.attachEventLoop(loop);
    w.sitzungsZeitlimit = options.timeout;
    startWorkflow(w, line, overrides, streams.err);
    days.started(w);
    if (!w.planGelesen) {
        streams.err << "error: Ohne gelesene gpn-Datei wird nichts versendet.\n";
        return ExitFailure;
    }
    const std::string tag = days.given() ? w.datumFeld + ": " : std::string();

    std::optional<int> nurLehrer;
    if (const std::string* kurzname = line.value("teacher")) {
        nurLehrer = teacherIndex(w.plan, *kurzname, streams.err);
        if (!nurLehrer)
            return ExitUsage;
        if (ersteZeileVon(w, *nurLehrer) < 0) {
            streams.err << "info: " << *kurzname << " hat am " << w.datumFeld
                        << " keine Vertretung; es ist nichts zu senden.\n";
            return ui.errorBoxes() == fehlerVorher ? ExitOk : ExitFailure;
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
    streams.err << tag << lauf.versendet << " von " << lauf.lehrkraefte << " eMails versendet";
    if (!nurLehrer)
        streams.err << "; " << lauf.ohneAdresse
                    << (lauf.ohneAdresse == 1 ? " Lehrkraft" : " Lehrkräfte")
                    << " ohne eMail-Adresse nicht benachrichtigt";
    streams.err << "\n";
    const bool alle = beendet && !w.aufzeichnungOffen && w.versandFehlerfrei();
    return alle && ui.errorBoxes() == fehlerVorher ? ExitOk : ExitFailure;
}

} // namespace

int runSend(const CommandLine& line, Streams& streams) {
    auto overrides = planOverrides(line, streams.err);
    auto days = SchoolDays::fromLine(line, streams.err);
    auto options = sendOptions(line, streams.err);
    if (!overrides || !options || !days)
        return ExitUsage;
    SendUi ui(line.flag("yes"), streams, options->password);
    return days->run(*overrides, streams.err, [&](const Overrides& fuerTag) {
        return sendForDate(line, streams, fuerTag, *days, ui, *options);
    });
}

} // namespace tafelbot::cli
