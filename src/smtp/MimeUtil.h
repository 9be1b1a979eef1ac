#pragma once

// The encodings of the mail body and header: Base64, quoted-printable, RFC 2047 encoded words,
// and the content type of an attached file. Texts are Windows-1252 bytes.

#include <cstddef>
#include <fstream>
#include <string>
#include <string_view>

namespace tafelbot {

// Base64 with the standard alphabet and "=" padding, no line breaks (RFC 4648).
std::string base64Encode(std::string_view data);
// The reverse, four characters at a time; "=" ends a group. Characters outside the alphabet
// (line breaks, blanks, garbage from a peer) are skipped, so any input decodes safely.
std::string base64Decode(std::string_view text);

// One line in quoted-printable form: bytes 32..126 except "=" stay, every other byte becomes
// "=" and two upper-case hexadecimal digits; a blank at the end becomes "=20" (a tab is
// escaped anyway). No line breaks are added.
std::string quotedPrintableLine(std::string_view line);
// Splits an encoded line longer than 76 characters with soft line breaks ("=" CR LF) so that
// no output line is longer than 76 characters and no "=XX" escape is torn apart. Shorter
// lines come back unchanged.
std::string softLineBreaks(std::string_view encoded);
// A text line as one body item of a quoted-printable part: encoded, then split. The item
// may hold several lines separated by CR LF; it is never cut, so no text is lost.
std::string encodedBodyItem(std::string_view line);

// The value of a header field as RFC 2047 encoded words ("=?charset?Q?...?=", at most 75
// characters each, several of them folded with CR LF SP). A value of printable ASCII only
// comes back unchanged. An "iso-8859-1" value holding a byte 0x80..0x9F is declared as
// "windows-1252", the charset those bytes actually belong to.
std::string encodeHeaderWord(std::string_view value, std::string_view charset = "iso-8859-1");

// The name of a file without its directory (either separator).
std::string fileNameOnly(std::string_view path);
// The content type by the file's extension (htm/html, gif, bmp, jpg/jpeg, txt; any other
// gives "application/octet-stream").
std::string contentTypeForFile(std::string_view fileName);

// Reads a file as Base64 lines of at most 72 characters (groups of 3 bytes). The file is
// exhausted when a read gives fewer than 3 bytes, so a file whose length is a multiple of 54
// bytes ends with one empty line.
class Base64FileLines {
public:
    bool open(const std::string& path);
    bool isOpen() const { return file_.is_open(); }
    void close();
    // The next line; sets exhausted() when the file ends on it.
    std::string nextLine();
    bool exhausted() const { return exhausted_; }

private:
    std::ifstream file_;
    bool exhausted_ = false;
};

} // namespace tafelbot
