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

// Index of the first row (in row order) of the teacher with this short name, or -1.
int ersteZeileVon(const MainWorkflow& w, const std::string& kurzname) {
    const int lehrer = w.plan.lehrerIndex(kurzname);
    if (lehrer < 0)
        return -1;
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
    w.formActivate(*overrides);

    if (const std::string* kurzname = line.value("teacher")) {
        const int zeile = ersteZeileVon(w, utf8ToCp1252(*kurzname));
        if (zeile < 0) {
            streams.err << "tafelbot-cli: send: no row of a teacher " << *kurzname
                        << " on this date\n";
            return ExitFailure;
        }
    }

    const std::set<int> vorher = markierteLehrer(w);
    // As if the teacher were highlighted in the table: that teacher alone, no question. By
    // index: two teachers may show the same name.
    if (const std::string* kurzname = line.value("teacher"))
        w.sendeAnLehrer(w.plan.lehrerIndex(utf8ToCp1252(*kurzname)));
    else
        w.sendeMarkierte();
    const bool beendet = runUntilIdle(loop, w, static_cast<int>(vorher.size()), streams.err);

    const std::set<int> nachher = markierteLehrer(w);
    int gesendet = 0;
    for (int lehrer : vorher) {
        if (nachher.count(lehrer) || lehrer < 0)
            continue;
        const TLehrer& t = w.plan.Lehrer.at(static_cast<std::size_t>(lehrer));
        streams.out << "sent: " << cp1252ToUtf8(t.Kurzname) << " " << cp1252ToUtf8(t.Vorname) << " "
                    << cp1252ToUtf8(t.Langname) << " <" << cp1252ToUtf8(t.EMail) << ">\n";
        ++gesendet;
    }
    bool alle;
    if (line.value("teacher")) {
        const TVZeile& z = w.zeilen.Zeilen[static_cast<std::size_t>(
            ersteZeileVon(w, utf8ToCp1252(*line.value("teacher"))))];
        alle = z.HatEMail && !z.Senden && z.Gesendet && gesendet == 1;
    } else {
        alle = nachher.empty();
    }
    alle = alle && beendet && !w.aufzeichnungOffen && w.versandFehlerfrei();
    streams.out << gesendet << " mail(s) sent" << (alle ? "" : ", not all of them") << "\n";
    return alle ? ExitOk : ExitFailure;
}

} // namespace tafelbot::cli
