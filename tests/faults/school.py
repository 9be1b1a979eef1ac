#!/usr/bin/python3
"""A school of N teachers for the send runs of the fault tests and the sending benchmark.

Every teacher has an address and one to three substitutions on Monday 7 December 2026 (for the
one absent colleague, who has no address), so that a send run mails each teacher once with a
table of its own. The settings point at a server on 127.0.0.1 without AUTH and hold no sent
mail. Windows-1252 with CR LF line ends, as gp-Untis and the program write them.

    school.py N DIR PORT     writes DIR/plan.gpn and DIR/Tafelbot.ini
"""

import os
import sys

DATE = "20261207"
ABSENT = "ABW"


def teacher(i):
    return f"L{i:03d}"


def address(i):
    return f"lehrer{i:03d}@schule.example"


def rows_of(i):
    """The hours of teacher i's substitutions that day."""
    return [1 + (i + k) % 8 for k in range(1 + i % 3)]


def plan(n):
    z = ["0P,1,\"1. Halbjahr\",20260810,20270129", "0pL,1", "PE,1"]
    for i in range(1, n + 1):
        z += [f"00L,{teacher(i)},\"Lehrer {i:03d}\"",
              "Le,,,,,\"Vorname\"" + "," * 9 + address(i)]
    z += [f"00L,{ABSENT},\"Abwesend\"", "Le" + "," * 14]
    z += ["0pU,1", "0U,1", "Uf,,MA", "Uk,,5a", f"Ul,,{ABSENT}", "Uz 1 1 1 1"]
    z += [f"0X,1,{ABSENT},1,20261204,3,{DATE},6"]
    nr = 100
    for i in range(1, n + 1):
        for hour in rows_of(i):
            nr += 1
            z += [f"0V,{nr},{DATE},{hour},{teacher(i)},{ABSENT},MA,R{hour:02d},1,"
                  f"Arbeitsblatt für Übung {nr},,,,", "Vk,,5a"]
    return z


def settings(gpn, port):
    z = ["* Einstellungs-Datei für das Programm Tafelbot", ""]
    for comment, value in [("* gp-Untis-Datei:", gpn), ("* aktuelles Datum:", DATE),
                           ("* Periode:", "1"),
                           ("* Fehlermedlung beim Daten-Einlesen? (0/1):", "1"),
                           ("* Samstags-Schule? (0/1):", "0"),
                           ("* Verwenden der Lehrer-Langnamen in der Tabelle? (0/1):", "1"),
                           ("* Soll bei einer Verlegung am selben Tag das Datum mit angegeben "
                            "werden? (0/1):", "0"),
                           ("* Zusatzinformation zum internen Gebrauch:", "v1.3")]:
        z += [comment, value, ""]
    z += ["* Reihenfolge der folgenden Kategorien in der Tabelle (0: erscheint nicht):",
          "0,0,2,7,9,6,1,3,8,5,4,10,11,12,13", "",
          "* Spaltenbreiten der folgenden Kategorien in der Tabelle (Summe muss <= 770 sein!):",
          "35,0,40,35,35,100,100,60,50,70,40,67,40,50,48", "",
          "* Überschriften der folgenden Kategorien in der eMail-Tabelle:",
          "Nr,Datum,Std.,statt Fach,Fach,Vertr. für,Vertretung,Klasse,Raum,verlegt von,Text,"
          "Mitbetreuung", "",
          "* Nach wie vielen Tagen sollen die Informationen über gesendete eMails gelöscht werden?",
          "30", ""]
    z += ["* Mailserver-Einstellungen (15 Zeilen entsprechend dem Einstellungsfenster):",
          "Vertretungsplaner", "127.0.0.1", str(port), "vertretungsplan@schule.example", "0", "",
          "vertretungsplan@schule.example", "vertretungsplan@schule.example", "", "0", "0",
          "0", "", "0", "", "* Bisher gesendete eMails:", ""]
    return z


def write(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1252"))


def main():
    n, folder, port = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    gpn = os.path.join(folder, "plan.gpn")
    write(gpn, plan(n))
    write(os.path.join(folder, "Tafelbot.ini"), settings(gpn, port))
    return 0


if __name__ == "__main__":
    sys.exit(main())
