// Any settings file, as an editor, a broken copy or a newer version might leave it: reading it
// must not crash, and what the program then writes must read back as exactly the values it
// wrote, whatever they hold (quotes, commas, a leading "*", stray CRs), so that no setting and
// no sent-mail record shifts or is lost from one save to the next.

#include "FuzzSupport.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsFile.h"

#include <cstddef>
#include <cstdint>

using namespace tafelbot;

#define GLEICH(feld) FUZZ_CHECK(zweite.feld == erste.feld)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string ini = fuzz::scratchPath("Tafelbot.ini");
    fuzz::writeScratch(ini, {reinterpret_cast<const char*>(data), size});
    fuzz::SilentUi ui;
    Einstellungen erste;
    IniLesen(erste, ini, ui);

    const std::string geschrieben = iniInhalt(erste);
    fuzz::writeScratch(ini, geschrieben);
    Einstellungen zweite;
    FUZZ_CHECK(IniLesen(zweite, ini, ui));
    GLEICH(GpnDatei);
    GLEICH(AktDatum);
    GLEICH(Periode);
    GLEICH(FehlermeldungBeimEinlesen);
    GLEICH(SamstagsSchule);
    GLEICH(LehrerLangnamen);
    GLEICH(DatumBeiVerlegungAmSelbenTag);
    GLEICH(Versionstext);
    GLEICH(Reihenfolge);
    GLEICH(Spaltenbreiten);
    GLEICH(Ueberschriften);
    GLEICH(LoeschTage);
    GLEICH(UnbekannteZusatzzeilen);
    GLEICH(GesendeteMails);
    GLEICH(Server.Absendername);
    GLEICH(Server.SmtpServer);
    GLEICH(Server.Port);
    GLEICH(Server.Kontoname);
    if (erste.Server.KennwortSpeichern) // otherwise the password is meant to be dropped
        GLEICH(Server.Kennwort);
    GLEICH(Server.Anmeldename);
    GLEICH(Server.Absender);
    GLEICH(Server.AntwortAn);
    GLEICH(Server.KopieAn);
    GLEICH(Server.Zusatztext);
    GLEICH(Server.KennwortSpeichern);
    GLEICH(Server.KopieSenden);
    GLEICH(Server.ZusatztextAnhaengen);
    GLEICH(Server.Authentifizierung);
    GLEICH(Server.Prioritaet);
    GLEICH(Server.Verbindungssicherheit);
    GLEICH(Server.ZertifikatUngeprueftAnnehmen);
    GLEICH(Server.ZusatzCaDatei);
    FUZZ_CHECK(iniInhalt(zweite) == geschrieben);
    return 0;
}
