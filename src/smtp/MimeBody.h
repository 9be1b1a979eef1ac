#pragma once

// The line generators behind the mail clients' DATA pump. They know nothing of the network:
// the clients feed them their properties when a message starts and ask for one body item per
// pump step, which keeps the MIME form testable line by line.

#include "smtp/MimeUtil.h"
#include "smtp/SmtpTypes.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tafelbot {

// A file of an image or attachment part that cannot be read while the body is produced.
class AttachmentUnreadable : public SmtpException {
public:
    explicit AttachmentUnreadable(const std::string& path)
        : SmtpException("Cannot open file '" + path + "'") {}
};

// An attachment made in memory (a calendar entry), sent like an attached file.
struct MemoryAttachment {
    std::string name;        // the file name the recipient sees
    std::string contentType; // with its parameters, e.g. text/calendar; charset="utf-8"
    std::string data;
};

// Throws AttachmentUnreadable for the first file that cannot be opened for reading, so that
// a message is refused before any of it goes out.
void checkReadable(const std::vector<std::string>& paths);

// A plain-text mail: the text unencoded, followed by the attachments in multipart/mixed form
// when there are any.
class PlainMailBody {
public:
    struct Input {
        std::vector<std::string> mailMessage;
        std::vector<std::string> plainText;
        std::vector<std::string> files;
        std::string contentTypeText;
        std::string charset;
    };

    // Starts a message. `stamp` (local time as "mmddyyhhnn") makes the boundary when there
    // are files; without files the boundary stays empty.
    void prepare(Input input, const std::string& stamp);
    const std::string& boundary() const { return boundary_; }
    // The next line, cut to maxLen; false when the message is complete.
    bool nextLine(std::string& line, std::size_t maxLen);
    // Closes an open attachment file.
    void release();

private:
    bool nextFileLine(std::string& line);

    Input input_;
    std::string boundary_;
    std::vector<std::string> prepared_;
    std::size_t preparedIndex_ = 0;
    std::size_t plainIndex_ = 0;
    std::size_t fileIndex_ = 0;
    // Lines around the file data (a part's header, the closing boundary) still to go.
    std::vector<std::string> pending_;
    std::size_t pendingIndex_ = 0;
    bool openAfterPending_ = false;
    bool sendingFileData_ = false;
    bool closingSent_ = false;
    Base64FileLines fileLines_;
};

// An HTML mail with a plain-text alternative: multipart/related (outer boundary) holding a
// multipart/alternative (inner boundary) of text/plain and text/html in quoted-printable form,
// then one Base64 part per image (inline), per file and per memory attachment (attachment).
class HtmlMailBody {
public:
    struct Input {
        std::vector<std::string> plainText;
        std::vector<std::string> htmlText;
        std::vector<std::string> images;
        std::vector<std::string> files;
        std::vector<MemoryAttachment> attachments;
        std::string charset;
        std::string htmlCharset;
    };

    void start(Input input, std::string outerBoundary, std::string innerBoundary);
    // Body item number lineNum (from 1, one call per number in order) into `line`; clears
    // `more` instead when the message is complete. Throws AttachmentUnreadable for a file
    // that cannot be opened.
    void produceLine(int lineNum, std::string& line, bool& more);
    int mimeState() const { return state_; }
    void release();

private:
    void preamble(int lineNum, std::string& line);
    void plainSection(int lineNum, std::string& line);
    void htmlSection(int lineNum, std::string& line);
    void partSection(int lineNum, std::string& line, bool& more);
    void filePart(int lineNum, int d, std::string& line);
    void memoryPart(int lineNum, int d, std::string& line);

    Input input_;
    std::string outer_;
    std::string inner_;
    int state_ = 4;
    int lineOffset_ = 0;
    std::size_t imageNumber_ = 1;
    std::string partContentType_;
    std::string partFileName_;
    Base64FileLines fileLines_;
    bool fileDone_ = false;
};

} // namespace tafelbot
