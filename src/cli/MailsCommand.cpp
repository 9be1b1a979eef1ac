// tafelbot-cli mails: the mails "eMail(s) senden" would send, written to files instead.
#include "cli/CliUi.h"
#include "cli/Command.h"
#include "cli/Days.h"
#include "core/MainWorkflow.h"
#include "mail/SendQueue.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "smtp/PollEventLoop.h"

#include <optional>
#include <ostream>
#include <vector>

namespace tafelbot::cli {
namespace {

// The first row in display order of every teacher the queue would mail, or of the one named.
std::vector<int> zuSchreiben(const MainWorkflow& w, std::optional<int> nurLehrer) {
    const Zeilenliste& z = w.zeilen;
    std::vector<int> zeilen;
    for (std::size_t pos = 0; pos < z.ZeilenFolge.size(); ++pos) {
        const int index = z.ZeilenFolge[pos];
        const TVZeile& zeile = z.Zeilen[static_cast<std::size_t>(index)];
        const bool gewaehlt = nurLehrer ? zeile.LehrerIndex == *nurLehrer : zeile.Senden;
        if (!zeile.HatEMail || !gewaehlt)
            continue;
        bool schonDa = false;
        for (int vorige : zeilen)
            schonDa = schonDa || selberLehrer(z.Zeilen[static_cast<std::size_t>(vorige)], zeile);
        if (!schonDa)
            zeilen.push_back(index);
    }
    return zeilen;
}

// A short name as a file name: path separators and a leading dot cannot pass.
std::string dateiname(const std::string& kurzname) {
    std::string name = cp1252ToUtf8(kurzname);
    for (char& c : name)
        if (c == '/' || c == '\\' || c == '\0')
            c = '_';
    if (name.empty() || name[0] == '.')
        name.insert(0, "_");
    return name + ".eml";
}

// The mails of one date into `dir` (ending in "/"): a run for that date alone.
int mailsForDate(const CommandLine& line, Streams& streams, const Overrides& overrides,
                 SchoolDays& days, std::string dir) {
    CliUi ui(CliUi::Mode::Print, false, streams.err, streams.in);
    PollEventLoop loop; // the client is made on a loop, though nothing is sent
    MainWorkflow w(ui, settingsPath(line));
    w.attachEventLoop(loop);
    startWorkflow(w, line, overrides, streams.err);
    days.started(w);
    if (!w.planGelesen)
        return ExitFailure; // the box said why; no mail from a plan that was not read

    std::optional<int> lehrer;
    if (const std::string* kurzname = line.value("teacher")) {
        lehrer = teacherIndex(w.plan, *kurzname, streams.err);
        if (!lehrer)
            return ExitUsage;
    }
    const std::vector<int> zeilen = zuSchreiben(w, lehrer);
    if (lehrer && zeilen.empty())
        streams.err << "info: " << *line.value("teacher") << " hat am " << w.datumFeld
                    << " keine Vertretung mit eMail-Adresse; es gibt keine eMail zu schreiben.\n";
    if (days.given())
        dir += w.werte.AktDatum + "/";
    if (!zeilen.empty() && !platform::createDirectories(dir)) {
        streams.err << "error: Das Verzeichnis " << dir
                    << " kann nicht angelegt werden. Bitte Pfad und Schreibrechte prüfen.\n";
        return ExitFailure;
    }
    bool alle = true;
    for (int zeile : zeilen) {
        const TLehrer& t = w.plan.Lehrer.at(
            static_cast<std::size_t>(w.zeilen.Zeilen[static_cast<std::size_t>(zeile)].LehrerIndex));
        const auto mail = w.mailZeilen(zeile);
        if (!mail) {
            alle = false; // a broken address: named in its box, the others are still written
            continue;
        }
        std::string inhalt;
        for (const std::string& item : *mail)
            inhalt += item + "\r\n";
        const std::string pfad = dir + dateiname(t.Kurzname);
        std::string grund;
        if (platform::replaceFileAtomically(pfad, inhalt, &grund)) {
            streams.out << pfad << "\n";
        } else {
            streams.err << "error: " << pfad << " kann nicht geschrieben werden: " << grund
                        << ". Bitte Platz und Schreibrechte im Verzeichnis prüfen.\n";
            alle = false;
        }
    }
    return exitStatus(alle, ui);
}

} // namespace

int runMails(const CommandLine& line, Streams& streams) {
    auto lauf = DaysToFile::fromLine(line, streams.err,
                                     "error: mails braucht --out VERZEICHNIS, das Verzeichnis "
                                     "für die eMail-Dateien.\n");
    if (!lauf)
        return ExitUsage;
    std::string dir = lauf->out;
    if (dir.back() != '/')
        dir += '/';
    if (!platform::createDirectories(dir)) {
        streams.err << "error: Das Verzeichnis " << lauf->out
                    << " kann nicht angelegt werden. Bitte Pfad und Schreibrechte prüfen.\n";
        return ExitFailure;
    }
    return lauf->days.run(lauf->overrides, streams.err, [&](const Overrides& fuerTag) {
        return mailsForDate(line, streams, fuerTag, lauf->days, dir);
    });
}

} // namespace tafelbot::cli
