// tafelbot-cli test-mail: the server settings dialog's "Test-eMail senden".
#include "cli/Command.h"
#include "cli/SendSupport.h"
#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "settings/SettingsFile.h"
#include "smtp/PollEventLoop.h"

#include <ostream>

namespace tafelbot::cli {

int runTestMail(const CommandLine& line, Streams& streams) {
    auto options = sendOptions(line, streams.err);
    const std::string* an = line.value("to");
    if (!options)
        return ExitUsage;
    if (!an) {
        streams.err << "error: test-mail braucht --to ADRESSE, die Adresse für die Test-eMail.\n";
        return ExitUsage;
    }

    SendUi ui(false, streams, options->password);
    PollEventLoop loop; // outlives the workflow's client
    MainWorkflow w(ui, settingsPath(line));
    w.attachEventLoop(loop);
    w.sitzungsZeitlimit = options->timeout;
    // Only the settings: the test mail needs neither the plan nor the rows.
    IniLesen(w.werte, w.iniPfad, ui);

    const std::string* betreff = line.value("subject");
    w.testMailSenden(utf8ToCp1252(*an), betreff ? utf8ToCp1252(*betreff) : w.serverDialog.Betreff,
                     w.serverDialog.MailText);
    const bool beendet = runUntilIdle(loop, w, 1, streams.err);
    const bool gesendet = beendet && w.mailVerschickt();
    if (gesendet)
        streams.out << "Test-eMail versendet an " << *an << "\n";
    else
        streams.err << "error: Die Test-eMail an " << *an
                    << " wurde nicht versendet; die Meldungen oben sagen, warum.\n";
    return exitStatus(gesendet, ui);
}

} // namespace tafelbot::cli
