#include "cli/CliUi.h"

#include "platform/Platform.h"
#include "settings/Cp1252.h"

#include <istream>
#include <ostream>

namespace tafelbot::cli {

std::string terminalText(const std::string& cp1252) {
    std::string text = cp1252ToUtf8(cp1252);
    for (std::size_t pos = 0; (pos = text.find("\n\r", pos)) != std::string::npos;)
        text.erase(pos + 1, 1);
    return text;
}

CliUi::CliUi(Mode mode, bool answerYes, std::ostream& err, std::istream& in)
    : mode_(mode), answerYes_(answerYes), err_(err), in_(in) {}

void CliUi::box(const char* kind, const char* label, const std::string& text) {
    messages_.push_back({kind, text});
    if (mode_ == Mode::Print)
        err_ << label << ": " << terminalText(text) << std::endl;
}

void CliUi::logAppended(const std::string& line) {
    if (mode_ == Mode::Print)
        err_ << terminalText(line) << '\n';
}

bool CliUi::askYesNo(const std::string& text) {
    messages_.push_back({"question", text});
    err_ << "question: " << terminalText(text) << std::endl;
    if (answerYes_) {
        err_ << "answer: ja (--yes)" << std::endl;
        return true;
    }
    if (!platform::standardInputIsTerminal()) {
        err_ << "answer: nein (kein Terminal zum Fragen; --yes antwortet mit ja)" << std::endl;
        return false;
    }
    err_ << "[j/N] " << std::flush;
    std::string answer;
    if (!std::getline(in_, answer))
        return false;
    return answer == "j" || answer == "J" || answer == "ja" || answer == "y" || answer == "yes";
}

std::string CliUi::askPassword(const PasswordRequest& request) {
    if (!platform::standardInputIsTerminal()) {
        err_ << "error: Ein Kennwort wird gebraucht, und es gibt kein Terminal, um danach zu "
                "fragen. Bitte --password-file DATEI angeben oder das Kennwort in den "
                "Servereinstellungen speichern."
             << std::endl;
        return {};
    }
    std::string prompt =
        "Kennwort für "_cp + request.anmeldename + " an " + request.smtpServer + ": ";
    return utf8ToCp1252(platform::readSecretLine(terminalText(prompt)).value_or(""));
}

} // namespace tafelbot::cli
