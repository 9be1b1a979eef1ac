// Reading gpn files of three sizes and building the rows of one day, against the floor of two
// passes that only read the file's lines; on the largest file also the whole command
// `tafelbot-cli rows --json` with its peak memory. Not a test: prints its figures.
//
//     build/release/bench/gpn_bench
//
// Times are CPU times of this process (the median of several runs), so that other work on a
// shared machine does not count; the command line's is that of the child process.
#include "plan/GpnLeser.h"
#include "plan/PlanDaten.h"
#include "plan/ZeilenBauer.h"
#include "settings/DatumText.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace tafelbot {
namespace {

struct Groesse {
    int lehrer;
    int anteile;
    int vertretungen;
};

// Lines are appended piece by piece: the values of one line are drawn in a fixed order, and
// GCC 12 warns wrongly about chains of string concatenations.
void teil(std::string& d, const std::string& s) {
    d += s;
}
void teil(std::string& d, const char* s) {
    d += s;
}
void teil(std::string& d, int n) {
    d += std::to_string(n);
}
template <class... T>
void zeile(std::string& d, const T&... teile) {
    (teil(d, teile), ...);
    d += "\r\n";
}

std::string kuerzel(int i) {
    std::string k = "L";
    k += std::to_string(i);
    return k;
}

// A school of the given size with substitutions on the school days of one year.
std::string erzeugeDatei(const Groesse& g, std::string& reichsterTag) {
    std::mt19937 zufall(1);
    auto wuerfel = [&](int n) { return static_cast<int>(zufall() % static_cast<unsigned>(n)); };
    std::string d;
    zeile(d, "0P,1,\"1. Halbjahr\",20260810,20270129");
    zeile(d, "0P,2,\"2. Halbjahr\",20270201,20270723");
    zeile(d, "0pL,1-2");
    zeile(d, "PE,1-2");
    for (int i = 0; i < g.lehrer; ++i) {
        zeile(d, "00L,", kuerzel(i), ",\"Lehrername ", i, "\"");
        if (i % 7)
            zeile(d, "Le,,,,,\"Vorname\",,,,,,,,,l", i, "@schule.example");
        else
            zeile(d, "Le,,,,,\"Vorname\",,,,,,,,,");
    }
    zeile(d, "0pU,1-2");
    int nr = 0;
    for (int anteile = 0; anteile < g.anteile;) {
        int lehrer = std::min(1 + wuerfel(3), g.anteile - anteile);
        zeile(d, "0U,", ++nr);
        zeile(d, "Uf,,DE,,MA,,EN");
        zeile(d, "Uk,,5a,,5b,,5c");
        d += "Ul";
        for (int t = 0; t < lehrer; ++t) {
            d += ",,";
            d += kuerzel(wuerfel(g.lehrer));
        }
        d += "\r\n";
        for (int t = 1; t <= lehrer; ++t) {
            char uz[64];
            std::snprintf(uz, sizeof uz, "Uz%2d%2d%2d%2d", t, 1, 1 + wuerfel(3), t);
            zeile(d, uz);
        }
        anteile += lehrer;
    }
    std::vector<std::string> schultage;
    for (auto t = *datumZeitAus(2026, 8, 10); schultage.size() < 200; t = t.plusTage(1)) {
        if (wochentag(t) != 0 && wochentag(t) != 6)
            schultage.push_back(DatumZuText(t));
    }
    auto schultag = [&](int i) { return schultage[static_cast<std::size_t>(i)]; };
    for (int i = 1; i <= g.vertretungen / 10; ++i) {
        std::string lehrer = kuerzel(wuerfel(g.lehrer));
        int unterricht = 1 + wuerfel(nr);
        std::string von = schultag(wuerfel(200));
        std::string nach = schultag(wuerfel(200));
        zeile(d, "0X,", i, ",", lehrer, ",", unterricht, ",", von, ",3,", nach, ",5");
    }
    std::vector<int> proTag(schultage.size());
    for (int i = 1; i <= g.vertretungen; ++i) {
        int tag = wuerfel(static_cast<int>(schultage.size()));
        ++proTag[static_cast<std::size_t>(tag)];
        bool klassenlos = wuerfel(10) == 0;
        int stunde = 1 + wuerfel(8);
        std::string vertreter = kuerzel(wuerfel(g.lehrer));
        std::string statt = kuerzel(wuerfel(g.lehrer));
        int raum = wuerfel(40);
        int unterricht = 1 + wuerfel(nr);
        std::string verlegung =
            wuerfel(5) == 0 ? std::to_string(1 + wuerfel(g.vertretungen / 10)) : std::string();
        const char* art = wuerfel(6) == 0 ? "B" : "";
        zeile(d, "0V,", i, ",", schultag(tag), ",", stunde, ",", vertreter, ",", statt, ",MA,R",
              raum, ",", unterricht, ",Text,,", verlegung, ",,", art);
        if (!klassenlos)
            zeile(d, "Vk,,5a,5b");
    }
    auto reichster = std::max_element(proTag.begin(), proTag.end()) - proTag.begin();
    reichsterTag = schultag(static_cast<int>(reichster));
    return d;
}

double sekunden(const std::function<void()>& f, int wiederholungen) {
    std::vector<double> zeiten;
    for (int i = 0; i < wiederholungen; ++i) {
        std::clock_t start = std::clock();
        f();
        zeiten.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    std::sort(zeiten.begin(), zeiten.end());
    return zeiten[zeiten.size() / 2];
}

std::size_t zweiReineDurchlaeufe(const std::string& pfad) {
    std::size_t zeichen = 0;
    for (int durchlauf = 0; durchlauf < 2; ++durchlauf) {
        std::ifstream in(pfad, std::ios::binary);
        std::string zeile;
        while (std::getline(in, zeile))
            zeichen += zeile.size();
    }
    return zeichen;
}

// The whole command line run: reading the settings and the file, building and printing the rows
// as JSON. CPU time and peak memory of the child process. Runs while this process holds little:
// a child's peak counts from the memory it was forked with.
std::string missKommandozeile(const std::filesystem::path& ordner, const std::string& gpn,
                              const std::string& tag) {
#ifdef TAFELBOT_CLI
    Einstellungen werte;
    setzeStandardwerte(werte);
    werte.GpnDatei = gpn;
    werte.AktDatum = tag;
    const std::string ini = (ordner / "Tafelbot.ini").string();
    std::ofstream(ini, std::ios::binary) << iniInhalt(werte);
    const std::string befehl = "'" TAFELBOT_CLI "' --ini '" + ini + "' rows --json > '" +
                               (ordner / "rows.json").string() + "'";
    rusage vorher{}, nachher{};
    getrusage(RUSAGE_CHILDREN, &vorher);
    auto start = std::chrono::steady_clock::now();
    const int status = std::system(befehl.c_str());
    const double wand =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_CHILDREN, &nachher);
    auto cpu = [](const rusage& r) {
        return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
               static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const double datei = static_cast<double>(std::filesystem::file_size(gpn)) / 1e6;
    const double spitze = static_cast<double>(nachher.ru_maxrss) / 1e3; // kB to MB
    char text[200];
    std::snprintf(text, sizeof text,
                  "       tafelbot-cli rows --json: %.2f s CPU, %.2f s wall, peak %.0f MB "
                  "(%.1fx the file), %.1f MB of JSON, exit %d\n",
                  cpu(nachher) - cpu(vorher), wand, spitze, spitze / datei,
                  static_cast<double>(std::filesystem::file_size(ordner / "rows.json")) / 1e6,
                  WEXITSTATUS(status));
    return text;
#else
    (void)ordner, (void)gpn, (void)tag;
    return {};
#endif
}

void miss(const char* name, const Groesse& g, const std::filesystem::path& ordner,
          bool mitKommandozeile = false) {
    std::string tag;
    const std::string pfad = (ordner / (std::string(name) + ".gpn")).string();
    {
        std::ofstream out(pfad, std::ios::binary);
        out << erzeugeDatei(g, tag);
    }
    const std::string kommandozeile = mitKommandozeile ? missKommandozeile(ordner, pfad, tag) : "";
    Einstellungen werte;
    werte.GpnDatei = pfad;
    werte.AktDatum = tag;
    Zeilenliste zeilen;
    Befunde befunde;
    GpnAuftrag auftrag{pfad, 1, true, true, {}};
    GpnErgebnis ergebnis;

    const int n = g.anteile > 100000 ? 3 : g.lehrer > 100 ? 7 : 21;
    volatile std::size_t senke = 0;
    double boden = sekunden([&] { senke = senke + zweiReineDurchlaeufe(pfad); }, n);
    double lesen = sekunden([&] { ergebnis = LiesGpnDatei(auftrag); }, n);
    Plan& plan = ergebnis.plan;
    if (!ergebnis.gelesen() || plan.FehlerGefunden)
        std::printf("%s: the reader refused the file or logged errors\n", name);

    // Some rows of the day were mailed before, so the comparison has records to scan.
    werte.GesendeteMails.clear();
    ErzeugeZeilen({werte, plan, befunde, zeilen, {}});
    for (std::size_t i = 0; i < zeilen.Zeilen.size(); i += 2)
        werte.GesendeteMails.push_back(zeilen.Zeilen[i].Schluessel + ",202608090700");
    double bauen = sekunden(
        [&] {
            ErzeugeZeilen({werte, plan, befunde, zeilen, {}});
        },
        n > 3 ? 51 : 3);

    std::printf("%-6s %4d teachers %7zu shares %6zu substitutions, %5.1f MB\n", name, g.lehrer,
                plan.Unterrichte.size(), plan.Vertretungen.size(),
                static_cast<double>(std::filesystem::file_size(pfad)) / 1e6);
    std::printf("       read: %8.2f ms   two plain line passes: %8.2f ms   ratio %.2f\n",
                lesen * 1e3, boden * 1e3, lesen / boden);
    std::printf("       rows of %s (%zu rows, %zu records): %8.3f ms\n", tag.c_str(),
                zeilen.Zeilen.size(), werte.GesendeteMails.size(), bauen * 1e3);
    std::printf("%s", kommandozeile.c_str());
}

} // namespace
} // namespace tafelbot

int main() {
    namespace fs = std::filesystem;
    fs::path ordner = fs::temp_directory_path() / "tafelbot-gpn-bench";
    fs::create_directories(ordner);
    tafelbot::miss("large", {80, 1500, 3000}, ordner);
    tafelbot::miss("10x", {800, 15000, 30000}, ordner);
    // About 28 MB: a large school's lessons over many periods' worth of blocks.
    tafelbot::miss("28MB", {801, 600000, 27000}, ordner, true);
    if (!std::getenv("TAFELBOT_BENCH_KEEP")) // to look at the plans and the command's output
        fs::remove_all(ordner);
}
