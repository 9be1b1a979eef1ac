#include "cli/SendSupport.h"

#include "core/MainWorkflow.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "smtp/PollEventLoop.h"

#include <ostream>

namespace tafelbot::cli {

SendUi::SendUi(bool answerYes, Streams& streams, std::optional<std::string> password)
    : CliUi(Mode::Print, answerYes, streams.err, streams.in), password_(std::move(password)) {}

std::string SendUi::askPassword(const PasswordRequest& request) {
    if (password_)
        return *password_;
    return CliUi::askPassword(request);
}

std::optional<SendOptions> sendOptions(const CommandLine& line, std::ostream& err) {
    SendOptions options;
    if (const std::string* wert = line.value("timeout")) {
        auto sekunden = alsGanzzahl(*wert);
        if (!sekunden || *sekunden < 1 || *sekunden > 86400) {
            err << "error: --timeout braucht eine Anzahl Sekunden von 1 bis 86400, nicht \""
                << *wert << "\".\n";
            return std::nullopt;
        }
        options.timeout = std::chrono::seconds(*sekunden);
    }
    if (const std::string* pfad = line.value("password-file")) {
        std::string fehler;
        auto inhalt = platform::readFile(*pfad, &fehler);
        if (!inhalt) {
            err << "error: Die Kennwortdatei " << *pfad << " kann nicht gelesen werden: " << fehler
                << ". Bitte den Pfad bei --password-file prüfen.\n";
            return std::nullopt;
        }
        // The first line; its line end is not part of the password.
        std::string kennwort = inhalt->substr(0, inhalt->find_first_of("\r\n"));
        options.password = utf8ToCp1252(kennwort);
    }
    return options;
}

bool runUntilIdle(PollEventLoop& loop, MainWorkflow& workflow, int sessions, std::ostream& err) {
    const auto proSitzung = workflow.sitzungsZeitlimit + std::chrono::seconds(10);
    const auto grenze = proSitzung * (sessions + 1);
    if (loop.runUntil([&] { return workflow.versandRuht(); }, grenze))
        return true;
    err << "error: Der Versand ist nicht rechtzeitig zu Ende gegangen; die Verbindung wird "
           "abgebrochen. Bitte den SMTP-Server und --timeout prüfen."
        << std::endl;
    workflow.brecheVersandAb();
    loop.runUntil([&] { return workflow.versandRuht(); }, std::chrono::seconds(5));
    return false;
}

} // namespace tafelbot::cli
