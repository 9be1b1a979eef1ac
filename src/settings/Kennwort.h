#pragma once

#include <string>

namespace tafelbot {

// The key with which the SMTP password is kept in the settings file.
inline constexpr const char* KennwortSchluessel = "QMORVTAXBUNDH";

// Scrambles a password into a string of decimal digits: 8 digits of header (two random numbers
// around the bit mask) and one group of three digits per mask position used. Every call gives a
// different text; characters with codes 6 to 255 come back unchanged from
// KennwortEntschluesseln.
std::string KennwortVerschluesseln(const std::string& kennwort, const std::string& schluessel);

// The password of a scrambled text. Texts shorter than 9 characters and texts that are not
// all digits give the empty password.
std::string KennwortEntschluesseln(const std::string& text, const std::string& schluessel);

// True for the empty text and for texts of decimal digits only: the forms a password line of
// the settings file may take.
bool istKennwortText(const std::string& text);

} // namespace tafelbot
