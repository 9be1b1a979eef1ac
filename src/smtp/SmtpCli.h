#pragma once

#include "smtp/CustomSmtpClient.h"
#include "smtp/MimeBody.h"

#include <string>
#include <vector>

namespace tafelbot {

// The SMTP client with a plain-text body and file attachments (multipart/mixed).
class TSmtpCli : public TCustomSmtpClient {
public:
    explicit TSmtpCli(EventLoop& loop);
    ~TSmtpCli() override;

    // Body text lines of a plain mail.
    std::vector<std::string> MailMessage;
    // Files are read without locks on this platform; the mode is kept for callers that set it.
    TSmtpShareMode ShareMode = smtpShareDenyWrite;

    const std::vector<std::string>& EmailFiles() const { return emailFiles_; }
    // Copies the names trimmed, skipping empty ones. A name whose file does not exist raises
    // SmtpException "File not found '<name>'"; the names copied before it stay.
    void SetEmailFiles(const std::vector<std::string>& names);

    void Abort() override;

protected:
    // Starts the plain-text body. Raises SmtpException when an attachment cannot be read, so
    // that no message goes out without a part it should carry.
    void PrepareEmail() override;
    void TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more) override;
    void TriggerHeaderLine(std::string& line) override;

    // Text lines sent after MailMessage, unencoded (THtmlSmtpCli's plain text).
    virtual const std::vector<std::string>& PlainTextLines() const;
    // Forgets the plain-text message, its boundary included.
    void ClearPlainMessage();
    const std::string& PlainBoundary() const { return plainBody_.boundary(); }

    static void AssignExistingFiles(std::vector<std::string>& list,
                                    const std::vector<std::string>& names);

private:
    std::vector<std::string> emailFiles_;
    PlainMailBody plainBody_;
};

} // namespace tafelbot
