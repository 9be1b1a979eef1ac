#include "smtp/MimeBody.h"

#include <fstream>
#include <utility>

namespace tafelbot {

namespace {

constexpr std::size_t longestTextLine = 1022;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

void checkReadable(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        std::ifstream probe(path, std::ios::binary);
        if (!probe.is_open())
            throw AttachmentUnreadable(path);
    }
}

void PlainMailBody::prepare(Input input, const std::string& stamp) {
    release();
    input_ = std::move(input);
    boundary_.clear();
    prepared_.clear();
    preparedIndex_ = plainIndex_ = fileIndex_ = pendingIndex_ = 0;
    pending_.clear();
    openAfterPending_ = sendingFileData_ = closingSent_ = false;
    if (!input_.files.empty()) {
        boundary_ = "= Multipart Boundary " + stamp;
        prepared_ = {"This is a multipart MIME message.",
                     "",
                     "--" + boundary_,
                     "Content-Type: " + input_.contentTypeText +
                         "; charset=" + quoted(input_.charset),
                     "Content-Transfer-Encoding: 7bit",
                     ""};
    }
    prepared_.insert(prepared_.end(), input_.mailMessage.begin(), input_.mailMessage.end());
}

bool PlainMailBody::nextLine(std::string& line, std::size_t maxLen) {
    if (preparedIndex_ < prepared_.size()) {
        line = prepared_[preparedIndex_++].substr(0, maxLen);
        return true;
    }
    if (plainIndex_ < input_.plainText.size()) {
        line = input_.plainText[plainIndex_++].substr(0, longestTextLine);
        return true;
    }
    if (input_.files.empty())
        return false;
    return nextFileLine(line);
}

bool PlainMailBody::nextFileLine(std::string& line) {
    if (sendingFileData_) {
        line = fileLines_.nextLine();
        if (fileLines_.exhausted()) {
            fileLines_.close();
            sendingFileData_ = false;
            ++fileIndex_;
        }
        return true;
    }
    if (pendingIndex_ == pending_.size()) {
        pendingIndex_ = 0;
        if (fileIndex_ < input_.files.size()) {
            std::string name = fileNameOnly(input_.files[fileIndex_]);
            pending_ = {"",
                        "--" + boundary_,
                        "Content-Type: " + contentTypeForFile(name) + ";",
                        "\tname=" + quoted(name),
                        "Content-Transfer-Encoding: base64",
                        "Content-Disposition: attachment;",
                        "\tfilename=" + quoted(name),
                        ""};
            openAfterPending_ = true;
        } else if (!closingSent_) {
            pending_ = {"", "--" + boundary_ + "--"};
            closingSent_ = true;
        } else {
            pending_.clear();
            return false;
        }
    }
    line = pending_[pendingIndex_++];
    if (pendingIndex_ == pending_.size() && openAfterPending_) {
        openAfterPending_ = false;
        const auto& path = input_.files[fileIndex_];
        if (!fileLines_.open(path))
            throw AttachmentUnreadable(path);
        sendingFileData_ = true;
    }
    return true;
}

void PlainMailBody::release() {
    fileLines_.close();
}

void HtmlMailBody::start(Input input, std::string outerBoundary, std::string innerBoundary) {
    release();
    input_ = std::move(input);
    outer_ = std::move(outerBoundary);
    inner_ = std::move(innerBoundary);
    state_ = 0;
    lineOffset_ = 0;
    imageNumber_ = 1;
    fileDone_ = false;
}

void HtmlMailBody::release() {
    fileLines_.close();
}

void HtmlMailBody::produceLine(int lineNum, std::string& line, bool& more) {
    line.clear();
    switch (state_) {
    case 0:
        preamble(lineNum, line);
        break;
    case 1:
        plainSection(lineNum, line);
        break;
    case 2:
        htmlSection(lineNum, line);
        break;
    case 3:
        partSection(lineNum, line, more);
        break;
    default:
        more = false;
        break;
    }
}

void HtmlMailBody::preamble(int lineNum, std::string& line) {
    switch (lineNum) {
    case 1:
        line = "This is a multipart MIME formatted message.";
        break;
    case 3:
        line = "--" + outer_;
        break;
    case 4:
        line = "Content-Type: multipart/alternative; boundary=" + quoted(inner_);
        break;
    case 6:
        line = "--" + inner_;
        break;
    case 7:
        line = "Content-Type: text/plain; charset=" + quoted(input_.charset);
        break;
    case 8:
        line = "Content-Transfer-Encoding: quoted-printable";
        break;
    case 2:
    case 5:
    case 9:
        break;
    default:
        state_ = 1;
        lineOffset_ = 9;
        plainSection(lineNum, line);
        break;
    }
}

void HtmlMailBody::plainSection(int lineNum, std::string& line) {
    const auto n = static_cast<int>(input_.plainText.size());
    const int d = lineNum - lineOffset_;
    if (d <= n) {
        line = encodedBodyItem(input_.plainText[static_cast<std::size_t>(d - 1)]);
    } else if (d == n + 2) {
        line = "--" + inner_;
    } else if (d == n + 3) {
        line = "Content-Type: text/html; charset=" + quoted(input_.htmlCharset);
    } else if (d == n + 4) {
        line = "Content-Transfer-Encoding: quoted-printable";
    } else if (d >= n + 6) {
        state_ = 2;
        lineOffset_ = lineNum - 1;
        htmlSection(lineNum, line);
    }
}

void HtmlMailBody::htmlSection(int lineNum, std::string& line) {
    const auto n = static_cast<int>(input_.htmlText.size());
    const int d = lineNum - lineOffset_;
    if (d <= n) {
        line = encodedBodyItem(input_.htmlText[static_cast<std::size_t>(d - 1)]);
    } else if (d == n + 2) {
        line = "--" + inner_ + "--";
    } else if (d >= n + 4) {
        state_ = 3;
        imageNumber_ = 1;
        fileDone_ = false;
        lineOffset_ = lineNum - 1;
        bool unused = true;
        partSection(lineNum, line, unused);
    }
}

void HtmlMailBody::partSection(int lineNum, std::string& line, bool& more) {
    const int d = lineNum - lineOffset_;
    const std::size_t fromFiles = input_.images.size() + input_.files.size();
    if (imageNumber_ <= fromFiles) {
        filePart(lineNum, d, line);
    } else if (imageNumber_ <= fromFiles + input_.attachments.size()) {
        memoryPart(lineNum, d, line);
    } else if (d == 1) {
        line = "--" + outer_ + "--";
    } else {
        state_ = 4;
        more = false;
    }
}

void HtmlMailBody::filePart(int lineNum, int d, std::string& line) {
    const std::size_t images = input_.images.size();
    const bool isImage = imageNumber_ <= images;
    const std::string& path =
        isImage ? input_.images[imageNumber_ - 1] : input_.files[imageNumber_ - images - 1];
    switch (d) {
    case 1:
        partFileName_ = fileNameOnly(path);
        partContentType_ = contentTypeForFile(partFileName_);
        line = "--" + outer_;
        break;
    case 2:
        line = "Content-Type: " + partContentType_ + ";\r\n\tname=" + quoted(partFileName_);
        break;
    case 3:
        line = "Content-Transfer-Encoding: base64";
        break;
    case 4:
        line = std::string("Content-Disposition: ") + (isImage ? "inline" : "attachment") +
               ";\r\n\tfilename=" + quoted(partFileName_);
        break;
    case 5:
        line = isImage ? "Content-ID: <IMAGE" + std::to_string(imageNumber_) + ">"
                       : "X-File-ID: <FILE" + std::to_string(imageNumber_ - images) + ">";
        break;
    case 6:
        fileDone_ = false;
        if (!fileLines_.open(path))
            throw AttachmentUnreadable(path);
        break;
    default:
        if (!fileDone_) {
            line = fileLines_.nextLine();
            if (fileLines_.exhausted()) {
                fileLines_.close();
                fileDone_ = true;
            }
        } else {
            ++imageNumber_;
            lineOffset_ = lineNum;
        }
        break;
    }
}

void HtmlMailBody::memoryPart(int lineNum, int d, std::string& line) {
    const MemoryAttachment& part =
        input_.attachments[imageNumber_ - input_.images.size() - input_.files.size() - 1];
    // Base64 lines of 72 characters, as for files.
    constexpr std::size_t bytesPerLine = 54;
    switch (d) {
    case 1:
        line = "--" + outer_;
        break;
    case 2:
        line = "Content-Type: " + part.contentType + ";\r\n\tname=" + quoted(part.name);
        break;
    case 3:
        line = "Content-Transfer-Encoding: base64";
        break;
    case 4:
        line = "Content-Disposition: attachment;\r\n\tfilename=" + quoted(part.name);
        break;
    case 5:
        break;
    default:
        if (const auto from = static_cast<std::size_t>(d - 6) * bytesPerLine;
            from < part.data.size()) {
            line = base64Encode(std::string_view(part.data).substr(from, bytesPerLine));
        } else {
            ++imageNumber_;
            lineOffset_ = lineNum;
        }
        break;
    }
}

} // namespace tafelbot
