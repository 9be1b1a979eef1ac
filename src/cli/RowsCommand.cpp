// tafelbot-cli rows: the rows of a date as the desktop program builds them at start.
#include "cli/CliUi.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"

#include <algorithm>
#include <array>
#include <ostream>

namespace tafelbot::cli {
namespace {

void stringArray(JsonWriter& json, const char* name, const auto& cp1252Texts) {
    json.key(name);
    json.beginArray();
    for (const std::string& text : cp1252Texts)
        json.value(cp1252ToUtf8(text));
    json.endArray();
}

void rowObject(JsonWriter& json, const TVZeile& z) {
    auto text = [&](const char* name, const std::string& wert) {
        json.key(name);
        json.value(cp1252ToUtf8(wert));
    };
    auto flag = [&](const char* name, bool wert) {
        json.key(name);
        json.value(wert);
    };
    json.beginObject();
    json.key("VertretungNr");
    json.value(z.VertretungNr);
    json.key("LehrerIndex");
    json.value(z.LehrerIndex);
    text("Datum", z.Datum);
    text("Stunde", z.Stunde);
    text("Vertreter", z.Vertreter);
    text("StattLehrer", z.StattLehrer);
    text("Fach", z.Fach);
    text("StattFach", z.StattFach);
    text("Raum", z.Raum);
    text("Text", z.Text);
    text("Klassen", z.Klassen);
    text("VerlegtVon", z.VerlegtVon);
    text("Schluessel", z.Schluessel);
    flag("Mitbetreuung", z.Mitbetreuung);
    flag("HatEMail", z.HatEMail);
    flag("Senden", z.Senden);
    flag("Gesendet", z.Gesendet);
    flag("Geaendert", z.Geaendert);
    json.endObject();
}

std::string rowsJson(const MainWorkflow& w, const CliUi& ui) {
    std::string out;
    JsonWriter json(out);
    json.beginObject();
    stringArray(json, "log", w.log.lines());
    json.key("messages");
    json.beginArray();
    for (const CliUi::Message& m : ui.messages()) {
        json.beginObject();
        json.key("kind");
        json.value(m.kind);
        json.key("text");
        json.value(cp1252ToUtf8(m.text));
        json.endObject();
    }
    json.endArray();
    json.key("period");
    json.value(w.werte.Periode);
    stringArray(json, "periods", w.periodenListe);
    stringArray(json, "teacherList", w.lehrerListe);
    json.key("rows");
    json.beginArray();
    for (int i : w.zeilen.ZeilenFolge)
        rowObject(json, w.zeilen.Zeilen.at(static_cast<std::size_t>(i)));
    json.endArray();
    json.endObject();
    return out;
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
