#pragma once

#include "plan/PlanDaten.h"

#include <string>
#include <vector>

namespace tafelbot {

// The rules of the send queue that need no connection: who is mailed, in which order, and how
// a mail that went out is recorded. The main workflow (core/Sending.cpp) drives the client.

// Whether two rows belong to one teacher. The name shown is not enough: two teachers with the
// same surname show the same long name, and each must get only their own rows.
bool selberLehrer(const TVZeile& a, const TVZeile& b);

// The confirmation list: one entry per teacher to be mailed, in display order
// ("          1.   Vorname Langname", entries separated by LF CR). Empty when nobody is marked.
std::string empfaengerListe(const Zeilenliste& zeilen, const Plan& plan);

// The first row in display order whose teacher has an address and is marked; -1 when none.
int naechsteZuSendendeZeile(const Zeilenliste& zeilen);

// Records a mail that went out: removes the earlier records of the plan date and teacher,
// marks every row of the teacher as sent and inserts one record per row (row key + "," +
// send stamp), newest date first.
void versandAufzeichnen(std::vector<std::string>& gesendeteMails, Zeilenliste& zeilen,
                        int aktuelleZeile, const std::string& aktDatum, const std::string& kurzname,
                        const std::string& sendStamp);

} // namespace tafelbot
