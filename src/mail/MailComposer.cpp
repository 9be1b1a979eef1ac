#include "mail/MailComposer.h"

#include "mail/Aenderungen.h"
#include "mail/Kalender.h"
#include "mail/SendQueue.h"
#include "plan/Versandsatz.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/FixeTexte.h"
#include "ui/UiPort.h"

#include <cstdio>
#include <map>

namespace tafelbot {

namespace {

// Characters [from, from + count) of a text that may be shorter than expected (a damaged record).
std::string teil(const std::string& text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string();
}

const std::string FragezeichenZeit = "??.??.???? um ??.?? Uhr";

// "21.02.2004 um 17.05 Uhr" from the send stamp of the teacher's earlier record of this date,
// or the question-mark text after the error box when there is none.
std::string fruehereSendezeit(const MailInput& input, UiPort& ui) {
    for (const std::string& record : input.gesendeteMails) {
        if (record.size() < 8 || record.compare(0, 8, input.aktDatum) != 0)
            continue;
        if (!satzVon(record, input.lehrer.Kurzname))
            continue;
        // Text and room are stored unquoted and may hold commas: the stamp is the record's
        // last twelve characters, not a field counted from the front.
        const std::string s = record.size() >= 12 ? record.substr(record.size() - 12) : "";
        return teil(s, 6, 2) + "." + teil(s, 4, 2) + "." + teil(s, 0, 4) + " um " + teil(s, 8, 2) +
               "." + teil(s, 10, 2) + " Uhr";
    }
    ui.showError("Für eine geänderte eMail (für "_cp + input.lehrer.Langname + ")\n\r" +
                 "konnte keine Information in der INI-Datei gefundet werden!");
    return FragezeichenZeit;
}

// The mail columns in use: the list up to its first -1, at most the twelve mail categories.
std::vector<int> mailKategorien(const std::array<int, AnzahlKategorien>& mailspalten) {
    std::vector<int> kategorien;
    for (int code : mailspalten) {
        if (code == -1 || kategorien.size() == AnzahlMailKategorien)
            break;
        if (code >= 0 && code < AnzahlMailKategorien)
            kategorien.push_back(code);
    }
    return kategorien;
}

// The value of a category as plain text (before any HTML escaping).
std::string wert(const TVZeile& zeile, int kategorie) {
    switch (kategorie) {
    case KatVtrNr:
        return std::to_string(zeile.VertretungNr);
    case KatDatum:
        return zeile.Datum;
    case KatStunde:
        return zeile.Stunde;
    case KatStattFach:
        return zeile.StattFach;
    case KatFach:
        return zeile.Fach;
    case KatStattLehrer:
        return zeile.StattLehrer;
    case KatVertreter:
        return zeile.Vertreter;
    case KatKlassen:
        return zeile.Klassen;
    case KatRaum:
        return zeile.Raum;
    case KatVerlegtVon:
        return zeile.VerlegtVon;
    case KatText:
        return zeile.Text;
    case KatMitbetreuung:
        return zeile.Mitbetreuung ? "ja" : "nein";
    default:
        return {};
    }
}

std::string htmlZelle(const TVZeile& zeile, int kategorie) {
    if (kategorie == KatStunde && zeile.Stunde == "-1")
        return "<td>keine Vertretungen</td>";
    if (kategorie == KatText)
        return "<td>" + htmlEscape(zeile.Text) + " </td>";
    return "<td>" + htmlEscape(wert(zeile, kategorie)) + "</td>";
}

// The block before a changed plan's table: what is new and what no longer holds since the mail
// of `frueher` ("06.12.2026 um 17.05 Uhr"). Empty for a first mail and when nothing can be said.
std::vector<std::string> aenderungsblock(const MailInput& input, const std::string& frueher) {
    const FruehereMail alt =
        fruehereMail(input.gesendeteMails, input.aktDatum, input.lehrer.Kurzname);
    if (!alt.gefunden)
        return {};
    const auto liste = aenderungen(zeilenDesLehrers(input.zeilen, input.aktuelleZeile), alt.zeilen);
    if (liste.empty())
        return {};
    std::vector<std::string> block{"Änderungen gegenüber der eMail vom "_cp + frueher + ":"};
    for (const Aenderung& aenderung : liste)
        block.push_back(aenderungsZeile(aenderung, input.ueberschriften));
    return block;
}

std::string termintitel(bool mitbetreuung, const std::string& stunde, const std::string& fach,
                        const std::string& klassen) {
    std::string titel = (mitbetreuung ? "Mitbetreuung " : "Vertretung ") + stunde + ". Std.";
    for (const std::string* teil : {&fach, &klassen})
        if (!teil->empty())
            titel += " " + *teil;
    return titel;
}

// The events of the teacher's rows, and of the earlier mail's rows that no longer hold: a
// lesson of the earlier mail with more rows than now had events the later rows of that lesson
// do not take over, so these are cancelled under their old UIDs.
std::vector<Termin> termine(const MailInput& input) {
    std::vector<Termin> liste;
    std::map<std::string, int> jeStunde;
    for (const TVZeile* zeile : zeilenDesLehrers(input.zeilen, input.aktuelleZeile)) {
        const int n = ++jeStunde[zeile->Stunde];
        std::string beschreibung;
        for (const std::string& text :
             mailZeilenText(*zeile, input.mailspalten, input.ueberschriften))
            beschreibung += (beschreibung.empty() ? "" : "\n") + text;
        liste.push_back(
            {terminUid(input.aktDatum, input.lehrer.Kurzname, zeile->Stunde, n), zeile->Stunde,
             false, termintitel(zeile->Mitbetreuung, zeile->Stunde, zeile->Fach, zeile->Klassen),
             zeile->Raum, beschreibung});
    }
    std::map<std::string, int> frueher;
    for (const Satzfelder& f :
         fruehereMail(input.gesendeteMails, input.aktDatum, input.lehrer.Kurzname).zeilen) {
        const int n = ++frueher[f.stunde];
        if (n <= jeStunde[f.stunde])
            continue;
        liste.push_back({terminUid(input.aktDatum, input.lehrer.Kurzname, f.stunde, n), f.stunde,
                         true,
                         "Entfällt: "_cp + termintitel(f.mitbetreuung, f.stunde, "", f.klassen),
                         f.raum, aenderungsZeile({false, f}, input.ueberschriften)});
    }
    return liste;
}

std::string format2(const char* pattern, int a, int b, int c, int d, int e) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d, e);
    return buffer;
}

} // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::vector<std::string>
mailTabelleHtml(const Zeilenliste& zeilen, int zeile,
                const std::array<int, AnzahlKategorien>& mailspalten,
                const std::array<std::string, AnzahlMailKategorien>& ueberschriften) {
    const TVZeile& lehrerZeile = zeilen.Zeilen.at(static_cast<std::size_t>(zeile));
    std::vector<std::string> html{"<table border=\"1\" cellpadding=\"4\"><tr>"};
    const std::vector<int> kategorien = mailKategorien(mailspalten);
    std::string kopf = "<tr>";
    for (int k : kategorien)
        kopf += "<td>" + ueberschriften[static_cast<std::size_t>(k)] + "</td>";
    html.push_back(kopf + "</tr>");
    for (int index : zeilen.ZeilenFolge) {
        const TVZeile& z = zeilen.Zeilen.at(static_cast<std::size_t>(index));
        if (!selberLehrer(z, lehrerZeile))
            continue;
        std::string zeileHtml = "<tr>";
        for (int k : kategorien)
            zeileHtml += htmlZelle(z, k);
        html.push_back(zeileHtml + "</tr>");
    }
    html.push_back("</tr></table>");
    return html;
}

std::vector<std::string>
mailZeilenText(const TVZeile& zeile, const std::array<int, AnzahlKategorien>& mailspalten,
               const std::array<std::string, AnzahlMailKategorien>& ueberschriften) {
    std::vector<std::string> text;
    for (int k : mailKategorien(mailspalten)) {
        if (k == KatStunde && zeile.Stunde == "-1")
            continue;
        text.push_back(ueberschriften[static_cast<std::size_t>(k)] + ":   " + wert(zeile, k));
    }
    return text;
}

ComposedMail composeSubstitutionMail(const MailInput& input, UiPort& ui) {
    const TVZeile& aktuelle = input.zeilen.Zeilen.at(static_cast<std::size_t>(input.aktuelleZeile));
    const TLehrer& lehrer = input.lehrer;
    ComposedMail mail;
    mail.hdrTo = lehrer.EMail;

    std::string praefix;
    std::string frueher;
    std::vector<std::string> block;
    if (aktuelle.Geaendert) {
        praefix = "NEUER ";
        frueher = fruehereSendezeit(input, ui);
        if (input.aenderungen)
            block = aenderungsblock(input, frueher);
    }
    mail.subject = praefix + "Vertretungsplan für "_cp + input.wochentag + ", " + input.datumText;
    mail.sendPanelHeading =
        "Versenden einer eMail an " + lehrer.Vorname + " " + lehrer.Langname + ":";

    auto& plain = mail.plainText;
    auto& html = mail.htmlText;
    plain.push_back("Vertretungsplan-Information für "_cp + lehrer.Langname + " " + lehrer.Vorname);
    plain.push_back(std::string(51, '='));
    plain.push_back("");
    plain.push_back(input.wochentag + ", den " + input.datumText);

    html.push_back("<html><head><meta name=\"author\" content=\"" + FixeTexte::autorName() + "\">");
    html.push_back("<meta name=\"generator\" content=\"" + FixeTexte::programmNameVersion() +
                   "\"></head><body>");
    html.push_back("<br>Vertretungsplan-Information für <b>"_cp + htmlEscape(lehrer.Langname) +
                   " " + htmlEscape(lehrer.Vorname));
    html.push_back("</b><br><br><u><b>" + input.wochentag + ", den " + input.datumText +
                   "</b></u><br><br>");
    if (!block.empty()) {
        html.push_back("<b>" + htmlEscape(block.front()) + "</b><br>");
        for (auto zeile = block.begin() + 1; zeile != block.end(); ++zeile)
            html.push_back(htmlEscape(*zeile) + "<br>");
        html.push_back("<br>");
        plain.push_back("");
        plain.insert(plain.end(), block.begin(), block.end());
    }
    std::vector<std::string> tabelle =
        mailTabelleHtml(input.zeilen, input.aktuelleZeile, input.mailspalten, input.ueberschriften);
    tabelle.back() += "<br><br>";
    html.insert(html.end(), tabelle.begin(), tabelle.end());

    for (int index : input.zeilen.ZeilenFolge) {
        const TVZeile& zeile = input.zeilen.Zeilen.at(static_cast<std::size_t>(index));
        if (!selberLehrer(zeile, aktuelle))
            continue;
        plain.push_back("");
        const auto text = mailZeilenText(zeile, input.mailspalten, input.ueberschriften);
        plain.insert(plain.end(), text.begin(), text.end());
    }

    if (input.zusatztextAnhaengen) {
        html.push_back(input.zusatztext);
        html.push_back("<br><br>");
        plain.push_back("");
        plain.push_back(input.zusatztext);
    }
    if (aktuelle.Geaendert) {
        html.push_back("Der Vertretungsplan, der Ihnen am " + frueher +
                       " zugeschickt wurde, hat keine Gültigkeit mehr!<br><br>"_cp);
        plain.push_back("");
        plain.push_back("Der Vertretungsplan, der Ihnen am " + frueher + " zugeschickt wurde,");
        plain.push_back("hat keine Gültigkeit mehr!"_cp);
    }
    plain.push_back("");
    plain.push_back("Wenn Sie die Informationen in tabellarischer Form angezeigt haben wollen,");
    plain.push_back("müssen Sie in Ihrem eMail-Programm HTML-Mails zulassen (bzw. die Option"_cp);
    plain.push_back("\"Nachrichten als Nur-Text lesen\" ausschalten).");
    plain.push_back("");

    const std::string credit = FixeTexte::creditEinleitung() + FixeTexte::programmNameVersion() +
                               " (" + FixeTexte::autorCredit() + ")";
    html.push_back(credit);
    plain.push_back(credit);

    const platform::CivilTime t = platform::clock().localNow();
    const std::string generiert = format2("am %.2d.%.2d.%.4d um %.2d.%.2d Uhr generiert.", t.day,
                                          t.month, t.year, t.hour, t.minute);
    html.push_back(generiert + "<br>");
    plain.push_back(generiert);
    html.push_back("</body></html>");
    mail.sendStamp = format2("%.4d%.2d%.2d%.2d%.2d", t.year, t.month, t.day, t.hour, t.minute);
    if (input.stundenzeiten) {
        std::string ics =
            kalenderDatei(input.aktDatum, termine(input), *input.stundenzeiten, utcJetzt());
        if (!ics.empty())
            mail.anhaenge.push_back({"Vertretungsplan-" + input.aktDatum + ".ics",
                                     "text/calendar; charset=\"utf-8\"; method=PUBLISH",
                                     std::move(ics)});
    }
    return mail;
}

} // namespace tafelbot
