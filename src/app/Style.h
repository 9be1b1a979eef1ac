#pragma once

namespace tafelbot::app {

// A compact sans-serif font and a fixed widget style, so that the table's pixel widths fit
// their texts on every desktop.
void richteStilEin();

} // namespace tafelbot::app
