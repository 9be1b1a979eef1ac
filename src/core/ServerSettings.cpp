#include "core/MainWorkflow.h"
#include "settings/SettingsFile.h"

namespace tafelbot {

bool MainWorkflow::einstellungenSpeichern() {
    serverDialog.uebernehmen(werte.Server, ui);
    ui.viewChanged(ViewPart::ServerSettings);
    return IniSchreiben(zuSchreiben(), iniPfad, ui);
}

// The date and the period are saved only on closing, so the file holds older ones than the
// window shows; taking those back would leave the shown rows under another date and period.
void MainWorkflow::einstellungenAbbrechen() {
    const std::string datum = werte.AktDatum;
    const int periode = werte.Periode;
    std::vector<std::string> mails = werte.GesendeteMails;
    IniLesen(werte, iniPfad, ui);
    werte.AktDatum = datum;
    werte.Periode = periode;
    // Records of mails that went out while the file could not be written exist only here.
    if (aufzeichnungOffen)
        werte.GesendeteMails = std::move(mails);
    serverDialogLaden();
}

void MainWorkflow::serverDialogLaden() {
    serverDialog.laden(werte.Server);
    ui.viewChanged(ViewPart::ServerSettings);
}

} // namespace tafelbot
