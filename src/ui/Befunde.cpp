#include "ui/Befunde.h"

#include "ui/InfoLog.h"
#include "ui/UiPort.h"

namespace tafelbot {

static_assert(Befunde::MaxLogZeilen == InfoLog::MaxLines + 1);

void Befunde::log(std::string zeile) {
    if (logZeilen.size() >= MaxLogZeilen)
        logZeilen.pop_front();
    logZeilen.push_back(std::move(zeile));
}

void zeige(const Befunde& befunde, InfoLog& log, UiPort& ui) {
    if (befunde.logLeeren)
        log.clear();
    for (const std::string& zeile : befunde.logZeilen)
        log.display(zeile, true);
    for (const Meldung& m : befunde.boxen) {
        switch (m.art) {
        case Meldung::Art::Fehler:
            ui.showError(m.text);
            break;
        case Meldung::Art::Information:
            ui.showInformation(m.text);
            break;
        case Meldung::Art::Hinweis:
            ui.showMessage(m.text);
            break;
        }
    }
}

} // namespace tafelbot
