#pragma once

#include "smtp/MimeBody.h"
#include "smtp/SmtpCli.h"

#include <string>
#include <vector>

namespace tafelbot {

// The SMTP client that sends an HTML mail with a plain-text alternative (content type
// smtpHtml, the default), optionally with inline images and attached files. With
// smtpPlainText it sends like TSmtpCli, PlainText following MailMessage unencoded.
class THtmlSmtpCli : public TSmtpCli {
public:
    explicit THtmlSmtpCli(EventLoop& loop);
    ~THtmlSmtpCli() override;

    std::vector<std::string> PlainText;
    std::vector<std::string> HtmlText;
    // Attachments made in memory, after the attached files.
    std::vector<MemoryAttachment> MemoryAttachments;
    // Charset declared for the HTML part.
    std::string HtmlCharSet = "iso-8859-1";

    // Image files embedded in the HTML, referred to as "cid:IMAGE1", "cid:IMAGE2", ...
    const std::vector<std::string>& EmailImages() const { return emailImages_; }
    // Same rules as SetEmailFiles.
    void SetEmailImages(const std::vector<std::string>& names);

    const std::string& OuterBoundary() const { return outerBoundary_; }
    const std::string& InnerBoundary() const { return innerBoundary_; }

    void Abort() override;

protected:
    // Makes both boundaries anew from the tick count and a random number; a message never
    // repeats the boundaries of the one before.
    virtual void GenerateBoundaries();

    // smtpHtml: new boundaries and the skeleton from its first line. Raises SmtpException
    // when an image or attachment cannot be read.
    void PrepareEmail() override;
    void TriggerProcessHeader(std::vector<std::string>& hdrLines) override;
    void TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more) override;
    const std::vector<std::string>& PlainTextLines() const override { return PlainText; }

    int MimeState() const { return htmlBody_.mimeState(); }

private:
    bool htmlMode() const { return ContentType() == smtpHtml; }

    std::vector<std::string> emailImages_;
    std::string outerBoundary_;
    std::string innerBoundary_;
    HtmlMailBody htmlBody_;
};

} // namespace tafelbot
