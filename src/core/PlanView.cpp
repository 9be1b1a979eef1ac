// Interim bodies so that the start-up links before the gpn reader and the row builder exist.
// The timetable-data work replaces this whole file.
#include "core/MainWorkflow.h"

namespace tafelbot {

bool MainWorkflow::liesGpnDatei() { return false; }
void MainWorkflow::erzeugeZeilen() {}
void MainWorkflow::beschrifteEdit() {}
void MainWorkflow::naechsterSchultag() {}
void MainWorkflow::vorigerSchultag() {}
void MainWorkflow::datumEingegeben(const std::string&) {}
void MainWorkflow::periodeGewaehlt(int) {}

}  // namespace tafelbot
