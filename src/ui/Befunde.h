#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace tafelbot {

class InfoLog;
class UiPort;

// A message box, as a value.
struct Meldung {
    enum class Art { Fehler, Information, Hinweis }; // error box, information box, plain box
    Art art;
    std::string text;
    friend bool operator==(const Meldung&, const Meldung&) = default;
};

// What a reader or a builder below the workflow has to tell the user, kept as values: the log
// lines and the boxes, in order. The caller shows them (`zeige`), so that the lower layers need
// no window and report to whoever calls them.
struct Befunde {
    // The info log holds this many lines at most: older ones would be dropped there anyway.
    static constexpr std::size_t MaxLogZeilen = 2001;

    bool logLeeren = false; // the info log is cleared before the lines go in
    std::deque<std::string> logZeilen;
    std::vector<Meldung> boxen;

    void log(std::string zeile);
    void fehler(std::string text) { boxen.push_back({Meldung::Art::Fehler, std::move(text)}); }
    void information(std::string text) {
        boxen.push_back({Meldung::Art::Information, std::move(text)});
    }
    void hinweis(std::string text) { boxen.push_back({Meldung::Art::Hinweis, std::move(text)}); }
};

// The log lines into the info log, then the boxes.
void zeige(const Befunde& befunde, InfoLog& log, UiPort& ui);

} // namespace tafelbot
