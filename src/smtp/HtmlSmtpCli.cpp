#include "smtp/HtmlSmtpCli.h"

#include "platform/Platform.h"

#include <cctype>
#include <cstdio>

namespace tafelbot {

namespace {

std::string hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

bool isContentTypeLine(const std::string& line) {
    constexpr std::string_view prefix = "content-type:";
    if (line.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != prefix[i])
            return false;
    return true;
}

} // namespace

THtmlSmtpCli::THtmlSmtpCli(EventLoop& loop) : TSmtpCli(loop) {
    SetContentType(smtpHtml);
}

THtmlSmtpCli::~THtmlSmtpCli() = default;

void THtmlSmtpCli::SetEmailImages(const std::vector<std::string>& names) {
    AssignExistingFiles(emailImages_, names);
}

void THtmlSmtpCli::Abort() {
    htmlBody_.release();
    TSmtpCli::Abort();
}

void THtmlSmtpCli::GenerateBoundaries() {
    const std::string previous = outerBoundary_;
    do {
        std::string tick = hex8(platform::clock().tickCount());
        std::string random = hex8(platform::randomBelow(2147483647u));
        outerBoundary_ = "----=_NextPart_000_" + tick + "_0." + random;
        innerBoundary_ = "----=_NextPart_000_" + tick + "_1." + random;
    } while (outerBoundary_ == previous);
}

void THtmlSmtpCli::PrepareEmail() {
    if (!htmlMode()) {
        TSmtpCli::PrepareEmail();
        return;
    }
    // A boundary left from an earlier plain mail with files would turn this header into
    // multipart/mixed.
    ClearPlainMessage();
    checkReadable(emailImages_);
    checkReadable(EmailFiles());
    // Started here rather than with the header, so that a caller writing its own header
    // (OwnHeaders) still gets a fresh body.
    GenerateBoundaries();
    HtmlMailBody::Input input;
    input.plainText = PlainText;
    input.htmlText = HtmlText;
    input.images = emailImages_;
    input.files = EmailFiles();
    input.attachments = MemoryAttachments;
    input.charset = CharSet;
    input.htmlCharset = HtmlCharSet;
    htmlBody_.start(std::move(input), outerBoundary_, innerBoundary_);
}

void THtmlSmtpCli::TriggerProcessHeader(std::vector<std::string>& hdrLines) {
    if (htmlMode()) {
        for (auto& line : hdrLines) {
            if (isContentTypeLine(line)) {
                line = "Content-Type: multipart/related; type=\"multipart/alternative\"; "
                       "boundary=\"" +
                       outerBoundary_ + "\"";
                break;
            }
        }
    }
    TSmtpCli::TriggerProcessHeader(hdrLines);
}

void THtmlSmtpCli::TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more) {
    if (!htmlMode()) {
        TSmtpCli::TriggerGetData(lineNum, msgLine, maxLen, more);
        return;
    }
    htmlBody_.produceLine(lineNum, msgLine, more);
    if (more && OnGetData)
        OnGetData(*this, lineNum, msgLine, maxLen, more);
}

} // namespace tafelbot
