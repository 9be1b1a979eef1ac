#include "smtp/SmtpCli.h"

#include "platform/Platform.h"

#include <cctype>
#include <cstdio>

namespace tafelbot {

namespace {

std::string trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

bool startsWithIgnoringCase(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Local time as month, day, year, hour and minute, two digits each.
std::string boundaryStamp() {
    auto now = platform::clock().localNow();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d", now.month % 100, now.day % 100,
                  now.year % 100, now.hour % 100, now.minute % 100);
    return stamp;
}

} // namespace

TSmtpCli::TSmtpCli(EventLoop& loop) : TCustomSmtpClient(loop) {}

TSmtpCli::~TSmtpCli() = default;

void TSmtpCli::AssignExistingFiles(std::vector<std::string>& list,
                                   const std::vector<std::string>& names) {
    list.clear();
    for (const auto& name : names) {
        std::string file = trimmed(name);
        if (file.empty())
            continue;
        if (!platform::fileExists(file))
            throw SmtpException("File not found '" + file + "'");
        list.push_back(file);
    }
}

void TSmtpCli::SetEmailFiles(const std::vector<std::string>& names) {
    AssignExistingFiles(emailFiles_, names);
}

void TSmtpCli::Abort() {
    plainBody_.release();
    TCustomSmtpClient::Abort();
}

const std::vector<std::string>& TSmtpCli::PlainTextLines() const {
    static const std::vector<std::string> none;
    return none;
}

void TSmtpCli::ClearPlainMessage() {
    plainBody_.prepare({}, {});
}

void TSmtpCli::PrepareEmail() {
    ClearPlainMessage();
    checkReadable(emailFiles_);
    PlainMailBody::Input input;
    input.mailMessage = MailMessage;
    input.plainText = PlainTextLines();
    input.files = emailFiles_;
    input.contentTypeText = ContentTypeText();
    input.charset = CharSet;
    plainBody_.prepare(std::move(input), boundaryStamp());
}

void TSmtpCli::TriggerGetData(int /*lineNum*/, std::string& msgLine, int maxLen, bool& more) {
    if (!plainBody_.nextLine(msgLine, static_cast<std::size_t>(maxLen > 0 ? maxLen : 0)))
        more = false;
}

void TSmtpCli::TriggerHeaderLine(std::string& line) {
    if (!PlainBoundary().empty() && startsWithIgnoringCase(line, "CONTENT-TYPE:"))
        line = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + PlainBoundary() + "\"";
    TCustomSmtpClient::TriggerHeaderLine(line);
}

} // namespace tafelbot
