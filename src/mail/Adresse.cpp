#include "mail/Adresse.h"

#include "smtp/SmtpText.h"

#include <algorithm>
#include <cstdio>

namespace tafelbot {

namespace {

bool istBuchstabeOderZiffer(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool istAtext(char c) {
    return istBuchstabeOderZiffer(c) ||
           std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool istDotString(std::string_view s) {
    if (s.empty() || s.front() == '.' || s.back() == '.' || s.find("..") != s.npos)
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c == '.' || istAtext(c); });
}

bool istQuotedString(std::string_view s) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"')
        return false;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\\') {
            ++i;
            if (i + 1 >= s.size() || static_cast<unsigned char>(s[i]) < 32 ||
                static_cast<unsigned char>(s[i]) > 126)
                return false;
        } else if (c < 32 || c > 126 || c == '"') {
            return false;
        }
    }
    return true;
}

bool istSubdomain(std::string_view s) {
    return !s.empty() && s.size() <= 63 && istBuchstabeOderZiffer(s.front()) &&
           istBuchstabeOderZiffer(s.back()) && std::all_of(s.begin(), s.end(), [](char c) {
               return c == '-' || istBuchstabeOderZiffer(c);
           });
}

bool istDomain(std::string_view s) {
    if (s.empty() || s.size() > 255)
        return false;
    for (std::size_t start = 0;;) {
        const std::size_t punkt = s.find('.', start);
        if (!istSubdomain(s.substr(start, punkt - start)))
            return false;
        if (punkt == s.npos)
            return true;
        start = punkt + 1;
    }
}

// "[" dcontent "]": printable ASCII without brackets and backslash (IPv4, IPv6 and the general
// form all fit in it).
bool istAdressLiteral(std::string_view s) {
    return s.size() > 2 && s.front() == '[' && s.back() == ']' &&
           std::all_of(s.begin() + 1, s.end() - 1, [](char c) {
               return c >= 33 && c <= 126 && c != '[' && c != ']' && c != '\\';
           });
}

bool hatSteuerzeichen(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 32 || b == 127;
    });
}

bool istEintrag(std::string_view eintrag) {
    const std::size_t auf = eintrag.find('<');
    std::string_view mailbox = eintrag;
    if (auf != eintrag.npos) {
        const std::string_view name = eintrag.substr(0, auf);
        if (eintrag.back() != '>' || name.find('>') != name.npos ||
            std::count(name.begin(), name.end(), '"') % 2 != 0)
            return false;
        mailbox = eintrag.substr(auf + 1, eintrag.size() - auf - 2);
    }
    return istMailbox(mailbox) && ParseAddress(eintrag).address == mailbox;
}

} // namespace

bool istMailbox(std::string_view text) {
    const std::size_t at = text.rfind('@');
    if (at == text.npos || text.size() > 254)
        return false;
    const std::string_view lokal = text.substr(0, at);
    const std::string_view domain = text.substr(at + 1);
    return lokal.size() <= 64 && (istDotString(lokal) || istQuotedString(lokal)) &&
           (istDomain(domain) || istAdressLiteral(domain));
}

bool istAdressliste(std::string_view text) {
    if (hatSteuerzeichen(text))
        return false;
    const auto eintraege = SplitAddressList(text);
    return !eintraege.empty() && std::all_of(eintraege.begin(), eintraege.end(), istEintrag);
}

std::string sichtbar(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r')
            out += "<CR>";
        else if (b == '\n')
            out += "<LF>";
        else if (b == 0)
            out += "<NUL>";
        else if (b < 32 || b == 127) {
            char puffer[8];
            std::snprintf(puffer, sizeof puffer, "<0x%02X>", b);
            out += puffer;
        } else
            out += c;
    }
    return out;
}

} // namespace tafelbot
