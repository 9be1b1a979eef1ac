// tafelbot-cli oauth-login: the first sign-in of the mail account, for a machine without a
// browser as well (the device code).
#include "cli/CliUi.h"
#include "cli/Command.h"
#include "oauth/SignIn.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <ostream>

namespace tafelbot::cli {

int runOAuthLogin(const CommandLine& line, Streams& streams) {
    oauth::SignInOptions options;
    options.device = line.flag("device");
    if (const std::string* wert = line.value("timeout")) {
        auto sekunden = alsGanzzahl(*wert);
        if (!sekunden || *sekunden < 1 || *sekunden > 86400) {
            streams.err << "error: --timeout braucht eine Anzahl Sekunden von 1 bis 86400, nicht \""
                        << *wert << "\".\n";
            return ExitUsage;
        }
        options.limit = std::chrono::seconds(*sekunden);
    }
    options.requestTimeout =
        std::min<std::chrono::milliseconds>(options.limit, options.requestTimeout);

    CliUi ui(CliUi::Mode::Print, false, streams.err, streams.in);
    Einstellungen werte;
    if (!IniLesen(werte, settingsPath(line), ui))
        return ExitFailure;
    const oauth::OAuthSettings settings = oauth::settingsOf(werte.Server);
    if (!settings.chosen()) {
        streams.err << "error: "
                    << terminalText("In den Einstellungen ist keine Anmeldung mit "
                                    "OAuth gewählt (OAuth=microsoft, google oder "
                                    "custom)."_cp)
                    << "\n";
        return ExitFailure;
    }
    const oauth::SignInEvents events{
        [&](const std::string& address) { streams.out << "Adresse: " << address << std::endl; },
        [&](const std::string& address, const std::string& code) {
            streams.out << "Adresse: " << address << "\nCode: " << code << std::endl;
        }};
    const std::string fehler = oauth::signIn(settings, werte.Server.Kontoname, options, events);
    if (!fehler.empty()) {
        streams.err << "error: " << terminalText(fehler) << "\n";
        return ExitFailure;
    }
    streams.out << terminalText("Anmeldung für "_cp + werte.Server.Kontoname + " gespeichert.")
                << "\n";
    return ExitOk;
}

} // namespace tafelbot::cli
