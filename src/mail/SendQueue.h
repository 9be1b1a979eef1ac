#pragma once

#include "plan/PlanDaten.h"
#include "plan/Versandsatz.h" // selberLehrer: whether two rows belong to one teacher

#include <set>
#include <string>
#include <vector>

namespace tafelbot {

// The rules of the send queue that need no connection: who is mailed, in which order, and how
// a mail that went out is recorded. The send run (core/Sending.cpp) and its session
// (core/SendSession.h) drive the client.

// The confirmation list: one entry per teacher to be mailed, in display order
// ("          1.   Vorname Langname", entries separated by LF CR). Empty when nobody is marked.
// Teachers (by index) in `ausgenommen` are left out.
std::string empfaengerListe(const Zeilenliste& zeilen, const Plan& plan,
                            const std::set<int>& ausgenommen = {});

// The first row in display order whose teacher has an address, is marked and is not in
// `ausgenommen`; -1 when none.
int naechsteZuSendendeZeile(const Zeilenliste& zeilen, const std::set<int>& ausgenommen = {});

// The first row of every teacher the queue would mail, in display order (one per teacher).
std::vector<int> ersteZeilenDerEmpfaenger(const Zeilenliste& zeilen);

// The number of teachers with rows on the date but without an address.
int lehrerOhneAdresse(const Zeilenliste& zeilen);

// Records a mail that went out: removes the earlier records of the plan date and teacher,
// marks every row of the teacher as sent and inserts one record per row (row key + "," +
// send stamp), newest date first.
void versandAufzeichnen(std::vector<std::string>& gesendeteMails, Zeilenliste& zeilen,
                        int aktuelleZeile, const std::string& aktDatum, const std::string& kurzname,
                        const std::string& sendStamp);

} // namespace tafelbot
