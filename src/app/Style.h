#pragma once

namespace tafelbot::app {

// A compact sans-serif font and a fixed widget style, so that the table's pixel widths fit
// their texts on every desktop.
void richteStilEin();

// German throughout: Qt's own texts (file dialog, standard buttons, the calendar's months and
// weekdays) from Qt's German translations. False when these are not installed.
bool richteSpracheEin();

} // namespace tafelbot::app
