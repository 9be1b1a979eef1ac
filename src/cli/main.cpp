// tafelbot-cli: the core of the desktop program without its windows, for scheduled runs,
// support and end-to-end tests.
#include "cli/Command.h"
#include "platform/Platform.h"
#include "settings/FixeTexte.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <string_view>

namespace tafelbot::cli {
namespace {

const char* const PlanOptionen =
    "  --gpn DATEI        diese gpn-Datei statt der in den Einstellungen genannten\n"
    "  --date JJJJMMTT    dieses Datum statt des gespeicherten\n"
    "  --period N         diese Periode statt der gespeicherten\n"
    "  --days N           dieser und die nächsten N-1 Schultage (1 bis 10), jeder wie in\n"
    "                     einem Aufruf für diesen Tag allein\n"
    "Die Angaben gelten nur für diesen Aufruf; die Einstellungsdatei behält ihre Werte.\n";

const CommandEntry Commands[] = {
    {"rows",
     "die Vertretungszeilen eines Tages zeigen",
     "[--gpn DATEI] [--date JJJJMMTT] [--period N] [--days N] [--json]",
     "Liest Einstellungen und gpn-Datei und zeigt die Zeilen des Tages wie das Programm beim\n"
     "Start, als Tabelle oder mit --json als JSON-Objekt (mit --days als JSON-Liste, ein\n"
     "Objekt je Tag). Schreibt die Einstellungsdatei nie.\n",
     {"gpn", "date", "period", "days"},
     {"json"},
     runRows},
    {"mails",
     "die eMails schreiben, die \"eMail(s) senden\" verschicken würde, ohne zu senden",
     "[--gpn DATEI] [--date JJJJMMTT] [--period N] [--days N] [--teacher KURZNAME] "
     "--out VERZEICHNIS",
     "Schreibt die eMail jeder Lehrkraft, die \"eMail(s) senden\" benachrichtigen würde (oder\n"
     "nur die der mit --teacher genannten), als VERZEICHNIS/KURZNAME.eml, mit --days als\n"
     "VERZEICHNIS/JJJJMMTT/KURZNAME.eml.\n"
     "  --teacher KURZNAME nur diese Lehrkraft (Groß- und Kleinschreibung egal)\n",
     {"gpn", "date", "period", "days", "teacher", "out"},
     {},
     runMails},
    {"send",
     "die eMails verschicken wie \"eMail(s) senden\"",
     "[--gpn DATEI] [--date JJJJMMTT] [--period N] [--days N] [--teacher KURZNAME] [--yes] "
     "[--timeout SEKUNDEN] [--password-file DATEI]",
     "Verschickt die eMails wie \"eMail(s) senden\" und vermerkt jede verschickte eMail in der\n"
     "Einstellungsdatei.\n"
     "  --teacher KURZNAME nur diese Lehrkraft (Groß- und Kleinschreibung egal)\n"
     "  --yes              die Rückfrage vor dem Versand mit ja beantworten\n"
     "  --timeout SEKUNDEN längste Dauer einer SMTP-Sitzung (Vorgabe 60)\n"
     "  --password-file DATEI  das SMTP-Kennwort aus der ersten Zeile dieser Datei\n",
     {"gpn", "date", "period", "days", "teacher", "timeout", "password-file"},
     {"yes"},
     runSend},
    {"print",
     "den Plan des Tages als HTML-Datei zum Drucken schreiben",
     "[--gpn DATEI] [--date JJJJMMTT] [--period N] [--days N] [--ohne-adresse] --out DATEI.html",
     "Schreibt den Plan als eine HTML-Datei: eine Seite je Lehrkraft mit Vertretungen, mit\n"
     "ihrem Namen als Überschrift und der Tabelle ihrer eMail.\n"
     "  --ohne-adresse     nur die Lehrkräfte ohne eMail-Adresse\n",
     {"gpn", "date", "period", "days", "out"},
     {"ohne-adresse"},
     runPrint},
    {"test-mail",
     "eine Test-eMail verschicken (wird nie vermerkt)",
     "--to ADRESSE [--subject TEXT] [--timeout SEKUNDEN] [--password-file DATEI]",
     "Verschickt die Test-eMail des Dialogs mit den Servereinstellungen.\n"
     "  --to ADRESSE       Empfänger\n"
     "  --subject TEXT     Betreff statt des eingestellten\n"
     "  --timeout SEKUNDEN längste Dauer der SMTP-Sitzung (Vorgabe 60)\n"
     "  --password-file DATEI  das SMTP-Kennwort aus der ersten Zeile dieser Datei\n",
     {"to", "subject", "timeout", "password-file"},
     {},
     runTestMail},
    {"oauth-login",
     "beim eMail-Anbieter anmelden (OAuth 2.0) und die Anmeldung speichern",
     "[--device] [--timeout SEKUNDEN]",
     "Meldet das eMail-Konto einmal beim Anbieter an und speichert die Anmeldung, mit der\n"
     "send und test-mail danach ohne Kennwort senden.\n"
     "  --device           mit Gerätecode anmelden (Adresse und Code werden gezeigt)\n"
     "  --timeout SEKUNDEN längste Wartezeit auf die Anmeldung (Vorgabe 600)\n",
     {"timeout"},
     {"device"},
     runOAuthLogin},
};

const char* const Aufruf = "Aufruf: tafelbot-cli [--ini DATEI] ";

void printUsage(std::ostream& out) {
    out << Aufruf << "BEFEHL [OPTIONEN]\n\n"
        << "Der Vertretungsplan-Versand ohne Fenster, mit den Einstellungen des Programms.\n\n"
        << "Befehle:\n";
    for (const CommandEntry& command : Commands) {
        std::string name = command.name;
        name.resize(std::max<std::size_t>(name.size() + 2, 11), ' ');
        out << "  " << name << command.summary << "\n";
    }
    out << "\n  --ini DATEI   diese Einstellungsdatei; sie muss es geben (ohne --ini: die des\n"
           "                Programms, beim ersten Start mit Vorgaben angelegt)\n"
           "  --help        diese Hilfe; \"tafelbot-cli BEFEHL --help\" zeigt die Optionen\n"
           "  --version     die Versionsnummer\n\n"
           "Exit-Status: 0 erledigt, 1 etwas ist fehlgeschlagen (Meldungen auf stderr),\n"
           "2 der Aufruf ist falsch.\n";
}

void printCommandUsage(const CommandEntry& command, std::ostream& out) {
    out << Aufruf << command.name << " " << command.usage << "\n\n" << command.help;
    if (std::find(command.valueOptions.begin(), command.valueOptions.end(), "gpn") !=
        command.valueOptions.end())
        out << PlanOptionen;
}

bool contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

enum class Parsed { Run, Help, Version, Wrong };

// Fills `line` from the arguments; Wrong after a message when they do not fit.
Parsed parse(int argc, char** argv, CommandLine& line, const CommandEntry*& command,
             std::ostream& err) {
    int i = 1;
    for (; i < argc && line.command.empty(); ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return Parsed::Help;
        } else if (arg == "--version") {
            return Parsed::Version;
        } else if (arg == "--ini" && i + 1 < argc) {
            line.iniPath = argv[++i];
        } else if (arg.substr(0, 1) == "-") {
            err << "error: unbekannte oder unvollständige Option " << arg << ".\n";
            return Parsed::Wrong;
        } else {
            line.command = arg;
        }
    }
    command = nullptr;
    for (const CommandEntry& s : Commands) {
        if (line.command == s.name)
            command = &s;
    }
    if (!command) {
        err << (line.command.empty() ? "error: Es fehlt der Befehl.\n"
                                     : "error: unbekannter Befehl " + line.command + ".\n");
        return Parsed::Wrong;
    }
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name = arg.substr(0, 2) == "--" ? arg.substr(2) : std::string();
        if (arg == "--help" || arg == "-h") {
            return Parsed::Help;
        } else if (contains(command->flagOptions, name)) {
            line.flags.insert(name);
        } else if (contains(command->valueOptions, name) && i + 1 < argc) {
            line.values[name] = argv[++i];
        } else if (name == "ini" && i + 1 < argc) {
            line.iniPath = argv[++i];
        } else {
            err << "error: " << command->name << ": unbekanntes oder unvollständiges Argument "
                << arg << ".\n";
            return Parsed::Wrong;
        }
    }
    return Parsed::Run;
}

} // namespace
} // namespace tafelbot::cli

int main(int argc, char** argv) {
    using namespace tafelbot::cli;
    CommandLine line;
    const CommandEntry* command = nullptr;
    switch (parse(argc, argv, line, command, std::cerr)) {
    case Parsed::Help:
        if (command)
            printCommandUsage(*command, std::cout);
        else
            printUsage(std::cout);
        return ExitOk;
    case Parsed::Version:
        std::cout << tafelbot::FixeTexte::programmNameVersion() << "\n";
        return ExitOk;
    case Parsed::Wrong:
        std::cerr << "Die Hilfe zeigt \"tafelbot-cli --help\""
                  << (command ? std::string(" bzw. \"tafelbot-cli ") + command->name + " --help\""
                              : std::string())
                  << ".\n";
        return ExitUsage;
    case Parsed::Run:
        break;
    }
    // Only the default location is created at a first start: a mistyped --ini must not start a
    // fresh file that names another mail server.
    if (!line.iniPath.empty() && !tafelbot::platform::fileExists(line.iniPath)) {
        std::cerr << "error: Die Einstellungsdatei \"" << line.iniPath
                  << "\" gibt es nicht. Bitte den Pfad bei --ini prüfen; ohne --ini wird die "
                     "Einstellungsdatei des Programms verwendet.\n";
        return ExitUsage;
    }
    Streams streams{std::cout, std::cerr, std::cin};
    try {
        return command->run(line, streams);
    } catch (const std::exception& e) {
        std::cerr << "error: Unerwarteter Fehler: " << e.what()
                  << ". Bitte die Meldungen oben und die Einstellungen prüfen.\n";
        return ExitFailure;
    }
}
