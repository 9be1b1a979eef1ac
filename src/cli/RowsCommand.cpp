// tafelbot-cli rows: the rows of a date as the desktop program builds them at start.
#include "cli/CliUi.h"
#include "cli/Command.h"
#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <ostream>

namespace tafelbot::cli {
namespace {

using Json = nlohmann::ordered_json; // members in the order written

Json utf8Array(const auto& cp1252Texts) {
    Json array = Json::array();
    for (const std::string& text : cp1252Texts)
        array.push_back(cp1252ToUtf8(text));
    return array;
}

Json rowObject(const TVZeile& z) {
    Json row;
    row["VertretungNr"] = z.VertretungNr;
    row["LehrerIndex"] = z.LehrerIndex;
    using Text = std::pair<const char*, const std::string*>;
    for (auto [name, wert] : std::initializer_list<Text>{{"Datum", &z.Datum},
                                                         {"Stunde", &z.Stunde},
                                                         {"Vertreter", &z.Vertreter},
                                                         {"StattLehrer", &z.StattLehrer},
                                                         {"Fach", &z.Fach},
                                                         {"StattFach", &z.StattFach},
                                                         {"Raum", &z.Raum},
                                                         {"Text", &z.Text},
                                                         {"Klassen", &z.Klassen},
                                                         {"VerlegtVon", &z.VerlegtVon},
                                                         {"Schluessel", &z.Schluessel}})
        row[name] = cp1252ToUtf8(*wert);
    using Flag = std::pair<const char*, bool>;
    for (auto [name, wert] : std::initializer_list<Flag>{{"Mitbetreuung", z.Mitbetreuung},
                                                         {"HatEMail", z.HatEMail},
                                                         {"Senden", z.Senden},
                                                         {"Gesendet", z.Gesendet},
                                                         {"Geaendert", z.Geaendert}})
        row[name] = wert;
    return row;
}

std::string rowsJson(const MainWorkflow& w, const CliUi& ui) {
    Json json;
    json["log"] = utf8Array(w.log.lines());
    json["messages"] = Json::array();
    for (const CliUi::Message& m : ui.messages())
        json["messages"].push_back({{"kind", m.kind}, {"text", cp1252ToUtf8(m.text)}});
    json["period"] = w.werte.Periode;
    json["periods"] = utf8Array(w.periodenListe);
    json["teacherList"] = utf8Array(w.lehrerListe);
    json["rows"] = Json::array();
    for (int i : w.zeilen.ZeilenFolge)
        json["rows"].push_back(rowObject(w.zeilen.Zeilen.at(static_cast<std::size_t>(i))));
    // Two blanks a level, one member a line, UTF-8 as it is: the layout scripts read.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The screen headings of the table categories.
constexpr std::array<const char*, AnzahlKategorien> Spaltenkoepfe = {
    "Vtr-Nr.",  "Datum",        "Stunde",    "(Fach)",   "Fach",
    "(Lehrer)", "Vertreter",    "Klasse(n)", "Raum",     "Vertr. von",
    "Text",     "Mitbetreuung", "eMail",     "gesendet", "geändert"};

// What the desktop table shows in a category's column, as text.
std::string zelle(int kategorie, const TVZeile& z) {
    auto mark = [](bool b) { return std::string(b ? "x" : ""); };
    switch (kategorie) {
    case KatVtrNr:
        return std::to_string(z.VertretungNr);
    case KatDatum:
        return cp1252ToUtf8(z.Datum);
    case KatStunde:
        return z.Stunde == "-1" ? std::string() : cp1252ToUtf8(z.Stunde);
    case KatStattFach:
        return cp1252ToUtf8(z.StattFach);
    case KatFach:
        return cp1252ToUtf8(z.Fach);
    case KatStattLehrer:
        return cp1252ToUtf8(z.StattLehrer);
    case KatVertreter:
        return cp1252ToUtf8(z.Vertreter);
    case KatKlassen:
        return cp1252ToUtf8(z.Klassen);
    case KatRaum:
        return cp1252ToUtf8(z.Raum);
    case KatVerlegtVon:
        return cp1252ToUtf8(z.VerlegtVon);
    case KatText:
        return cp1252ToUtf8(z.Text);
    case KatMitbetreuung:
        return mark(z.Mitbetreuung);
    case KatEMail:
        return z.HatEMail ? (z.Senden ? "[x]" : "[ ]") : "";
    case KatGesendet:
        return z.HatEMail ? mark(z.Gesendet) : "";
    case KatGeaendert:
        return z.HatEMail ? mark(z.Geaendert) : "";
    default:
        return {};
    }
}

std::size_t breite(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void printTable(const MainWorkflow& w, std::ostream& out) {
    out << "Vertretungen am " << w.datumFeld << " (" << cp1252ToUtf8(w.wochentagLabel)
        << "), Periode " << w.werte.Periode << ": " << w.zeilen.Zeilen.size() << " Zeile(n)\n";
    std::vector<int> spalten;
    for (int kategorie : w.werte.Bildschirmspalten) {
        if (kategorie < 0)
            break;
        spalten.push_back(kategorie);
    }
    std::vector<std::vector<std::string>> tabelle(1);
    for (int kategorie : spalten)
        tabelle[0].push_back(Spaltenkoepfe[static_cast<std::size_t>(kategorie)]);
    for (int i : w.zeilen.ZeilenFolge) {
        tabelle.emplace_back();
        for (int kategorie : spalten)
            tabelle.back().push_back(
                zelle(kategorie, w.zeilen.Zeilen.at(static_cast<std::size_t>(i))));
    }
    std::vector<std::size_t> breiten(spalten.size(), 0);
    for (const auto& zeile : tabelle)
        for (std::size_t k = 0; k < zeile.size(); ++k)
            breiten[k] = std::max(breiten[k], breite(zeile[k]));
    for (const auto& zeile : tabelle) {
        std::string text;
        for (std::size_t k = 0; k < zeile.size(); ++k) {
            text += zeile[k];
            if (k + 1 < zeile.size())
                text.append(breiten[k] - breite(zeile[k]) + 2, ' ');
        }
        out << text << "\n";
    }
}

} // namespace

int runRows(const CommandLine& line, Streams& streams) {
    auto overrides = planOverrides(line, streams.err);
    if (!overrides)
        return ExitUsage;
    const bool json = line.flag("json");
    CliUi ui(json ? CliUi::Mode::Record : CliUi::Mode::Print, false, streams.err, streams.in);
    // Only read: the settings file is created when missing, never rewritten here.
    MainWorkflow w(ui, settingsPath(line));
    startWorkflow(w, line, *overrides, streams.err);
    if (json)
        streams.out << rowsJson(w, ui);
    else
        printTable(w, streams.out);
    streams.out.flush();
    return exitStatus(w.planGelesen && streams.out, ui);
}

} // namespace tafelbot::cli
