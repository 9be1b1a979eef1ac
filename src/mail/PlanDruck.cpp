#include "mail/PlanDruck.h"

#include "mail/MailComposer.h"
#include "mail/SendQueue.h"

namespace tafelbot {

namespace {

bool nurHinweis(const TVZeile& zeile) {
    return zeile.Stunde == "-1";
}

std::string lehrerName(const DruckTag& tag, const TVZeile& zeile) {
    if (zeile.LehrerIndex < 0 ||
        static_cast<std::size_t>(zeile.LehrerIndex) >= tag.plan.Lehrer.size())
        return zeile.Vertreter;
    const TLehrer& l = tag.plan.Lehrer[static_cast<std::size_t>(zeile.LehrerIndex)];
    return l.Vorname.empty() ? l.Langname : l.Vorname + " " + l.Langname;
}

} // namespace

std::vector<std::string> druckSeiten(const DruckTag& tag, bool nurOhneAdresse) {
    const Zeilenliste& z = tag.zeilen;
    std::vector<int> erste; // the first printed row of each teacher with a page
    for (int index : z.ZeilenFolge) {
        const TVZeile& zeile = z.Zeilen.at(static_cast<std::size_t>(index));
        if (nurHinweis(zeile) || (nurOhneAdresse && zeile.HatEMail))
            continue;
        bool schonDa = false;
        for (int vorige : erste)
            schonDa = schonDa || selberLehrer(z.Zeilen[static_cast<std::size_t>(vorige)], zeile);
        if (!schonDa)
            erste.push_back(index);
    }
    std::vector<std::string> seiten;
    for (int index : erste) {
        std::string seite = "<section class=\"seite\">\n<h1>" +
                            htmlEscape(lehrerName(tag, z.Zeilen[static_cast<std::size_t>(index)])) +
                            "</h1>\n<p><u><b>" + tag.wochentag + ", den " + tag.datumText +
                            "</b></u></p>\n";
        for (const std::string& zeile :
             mailTabelleHtml(z, index, tag.mailspalten, tag.ueberschriften))
            seite += zeile + "\n";
        seiten.push_back(seite + "</section>\n");
    }
    return seiten;
}

std::string druckDokument(const std::vector<std::string>& seiten, const std::string& zeichensatz) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"" + zeichensatz +
                       "\">\n<title>Vertretungsplan</title>\n<style>\n"
                       "section.seite + section.seite { break-before: page; "
                       "page-break-before: always; }\n"
                       "</style></head><body>\n";
    for (const std::string& seite : seiten)
        html += seite;
    if (seiten.empty())
        html += "<p>Keine Vertretungen.</p>\n";
    return html + "</body></html>\n";
}

} // namespace tafelbot
