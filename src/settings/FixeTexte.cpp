#include "settings/FixeTexte.h"

#include "settings/Cp1252.h"

namespace tafelbot {

std::string FixeTexte::programmNameVersion() {
    // The version comes from the build, so the window, the mails and the package agree.
    return "Tafelbot " TAFELBOT_VERSION;
}

std::string FixeTexte::autorZeile() {
    return "Tafelbot-Team für Schulbüros"_cp;
}

std::string FixeTexte::autorName() {
    return "Tafelbot-Team";
}

std::string FixeTexte::creditEinleitung() {
    return "Diese Mail wurde mit dem Programm ";
}

std::string FixeTexte::autorCredit() {
    return "Vertretungspläne per eMail, Tafelbot-Team"_cp;
}

} // namespace tafelbot
