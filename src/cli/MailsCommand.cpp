// tafelbot-cli mails: the mails "eMail(s) senden" would send, written to files instead.
#include "cli/CliUi.h"
#include "cli/Command.h"
#include "core/MainWorkflow.h"
#include "mail/SendQueue.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "smtp/PollEventLoop.h"

#include <ostream>
#include <vector>

namespace tafelbot::cli {
namespace {

// The first row in display order of every teacher the queue would mail, or of the one named.
std::vector<int> zuSchreiben(const MainWorkflow& w, const std::string* kurzname) {
    const Zeilenliste& z = w.zeilen;
    const int nurLehrer = kurzname ? w.plan.lehrerIndex(utf8ToCp1252(*kurzname)) : -2;
    std::vector<int> zeilen;
    for (std::size_t pos = 0; pos < z.ZeilenFolge.size(); ++pos) {
        const int index = z.ZeilenFolge[pos];
        const TVZeile& zeile = z.Zeilen[static_cast<std::size_t>(index)];
        const bool gewaehlt = kurzname ? zeile.LehrerIndex == nurLehrer : zeile.Senden;
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

} // namespace

int runMails(const CommandLine& line, Streams& streams) {
    auto overrides = planOverrides(line, streams.err);
    const std::string* out = line.value("out");
    if (!overrides)
        return ExitUsage;
    if (!out) {
        streams.err << "tafelbot-cli: mails needs --out DIR\n";
        return ExitUsage;
    }
    std::string dir = *out;
    if (dir.back() != '/')
        dir += '/';
    if (!platform::createDirectories(dir)) {
        streams.err << "tafelbot-cli: cannot create the directory " << *out << "\n";
        return ExitFailure;
    }

    CliUi ui(CliUi::Mode::Print, false, streams.err, streams.in);
    PollEventLoop loop; // the client is made on a loop, though nothing is sent
    MainWorkflow w(ui, settingsPath(line));
    w.attachEventLoop(loop);
    w.formActivate(*overrides);

    const std::string* kurzname = line.value("teacher");
    const std::vector<int> zeilen = zuSchreiben(w, kurzname);
    if (kurzname && zeilen.empty()) {
        streams.err << "tafelbot-cli: mails: no row of a teacher " << *kurzname
                    << " with an e-mail address on this date\n";
        return ExitFailure;
    }
    int fehler = 0;
    for (int zeile : zeilen) {
        const TLehrer& lehrer = w.plan.Lehrer.at(
            static_cast<std::size_t>(w.zeilen.Zeilen[static_cast<std::size_t>(zeile)].LehrerIndex));
        const auto mail = w.mailZeilen(zeile);
        if (!mail) {
            ++fehler; // a broken address: named on stderr, the others are still written
            continue;
        }
        std::string inhalt;
        for (const std::string& item : *mail)
            inhalt += item + "\r\n";
        const std::string pfad = dir + dateiname(lehrer.Kurzname);
        std::string grund;
        if (platform::replaceFileAtomically(pfad, inhalt, &grund)) {
            streams.out << pfad << "\n";
        } else {
            streams.err << "tafelbot-cli: cannot write " << pfad << ": " << grund << "\n";
            ++fehler;
        }
    }
    return fehler == 0 ? ExitOk : ExitFailure;
}

} // namespace tafelbot::cli
