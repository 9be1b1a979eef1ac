#!/usr/bin/python3
"""Writes the demo school: examples/demo.gpn (the timetable file) and examples/demo.ini (settings
with a few mails already sent for Monday 7 December 2026). With --school, a plain school of N
teachers for the send-run tests and the sending benchmark instead.

The school is made up: 43 teachers, 18 classes, three planning periods, coupled lessons, moved
lessons and a fortnight of substitutions from 30 November to 11 December 2026, with the Monday
in the middle as the richest day. The output is the same on every run (fixed random seed).
Both files are Windows-1252 with CR LF line ends, as the office's files are.

    /usr/bin/python3 examples/generate_demo.py
    /usr/bin/python3 examples/generate_demo.py --school N DIR PORT

The plain school: every teacher has an address and one to three substitutions on Monday 7
December 2026 (for the one absent colleague, who has no address), so that a send run mails each
teacher once with a table of its own; DIR/plan.gpn and DIR/Tafelbot.ini, the settings pointing
at a server on 127.0.0.1:PORT without AUTH and holding no sent mail.
"""

import datetime
import os
import random
import sys

HIER = os.path.dirname(os.path.abspath(__file__))
DEMO_DATUM = datetime.date(2026, 12, 7)

# Short name, surname, first name, e-mail (None: no address), subjects.
LEHRER = [
    ("ADL", "Adler", "Katrin", True, ["DE", "GE"]),
    ("BAU", "Bauer", "Thomas", True, ["MA", "PH"]),
    ("BEC", "Becker", "Sören", True, ["PH", "CH"]),
    ("BOE", "Böhm", "Dörte", True, ["EN", "FR"]),
    ("BRA", "Brandt", "Michael", False, ["SP", "EK"]),
    ("DIE", "Dietrich", "Jana", True, ["BIO", "CH"]),
    ("ENG", "Engel", "Björn", True, ["MU", "REV"]),
    ("FIS", "Fischer", "Andrea", True, ["MA", "INF"]),
    ("FRA", "Franke", "Jürgen", True, ["LA", "GE"]),
    ("FUC", "Fuchs", "Lena", True, ["EN", "SP"]),
    ("GRO", "Groß", "Matthias", True, ["DE", "PO"]),
    ("HAH", "Hahn", "Ursula", False, ["KU", "DE"]),
    ("HAR", "Hartmann", "Felix", True, ["MA", "EK"]),
    ("HOF", "Hofmann", "Claudia", True, ["SP", "BIO"]),
    ("JAE", "Jäger", "Tobias", True, ["CH", "MA"]),
    ("KEL", "Keller", "Miriam", True, ["DE", "MU"]),
    ("KOE", "Köhler", "Stefan", True, ["GE", "ETH"]),
    ("KRA", "Krause", "Heike", True, ["FR", "DE"]),
    ("KRU", "Krüger", "Jens", True, ["MA", "PH"]),
    ("LAN", "Lange", "Sabine", True, ["EN", "GE"]),
    ("LEH", "Lehmann", "Wolfgang", False, ["RKA", "LA"]),
    ("LOR", "Lorenz", "Anja", True, ["BIO", "EK"]),
    ("MAI", "Maier", "Frank", True, ["SP", "MA"]),
    ("MUE", "Müller", "Renée", True, ["DE", "EN"]),
    ("NEU", "Neumann", "Kai", True, ["INF", "MA"]),
    ("OTT", "Otto", "Birgit", True, ["KU", "EN"]),
    ("PET", "Peters", "Uwe", True, ["EK", "SP"]),
    ("POH", "Pohl", "Nadine", False, ["ETH", "PO"]),
    ("RIC", "Richter", "Günter", False, ["PH", "MA"]),
    ("ROT", "Roth", "Elke", True, ["FR", "EN"]),
    ("SAU", "Sauer", "Daniel", True, ["SP", "GE"]),
    ("SCF", "Schäfer", "Martina", True, ["DE", "REV"]),
    ("SCM", "Schmitz", "Oliver", True, ["MA", "CH"]),
    ("SCZ", "Schulze", "Bärbel", True, ["BIO", "DE"]),
    ("SEI", "Seidel", "Marco", True, ["INF", "PH"]),
    ("VOG", "Vogel", "Ines", True, ["EN", "MU"]),
    ("WAG", "Wagner", "Rüdiger", False, ["GE", "PO"]),
    ("WEI", "Weiß", "Carola", True, ["EN", "DE"]),
    ("WOL", "Wolf", "Patrick", True, ["MA", "SP"]),
    ("ZIM", "Zimmermann", "Zeynep", True, ["RKA", "FR"]),
]
# Only in the teacher list of periods 1 and 2, and only in that of period 3.
REFERENDAR = ("REF", "Öztürk", "Deniz", True, ["DE", "GE"])
NEUZUGANG = ("NEW", "Schröder", "Lukas", True, ["MA", "INF"])
# A placeholder for lessons without a teacher; not offered as a mail recipient.
PLATZHALTER = ("?", "N. N.", "", False, [])

KUERZEL = {l[0] for l in LEHRER}
KLASSEN = [f"{j}{z}" for j in range(5, 11) for z in "abc"]
KERNFAECHER = ["DE", "MA", "EN", "BIO", "GE", "EK", "KU", "MU", "PH", "CH", "FR"]
RAEUME = ["A101", "A102", "A103", "A201", "A202", "B104", "B105", "B203", "Chemie 1", "Physik 2",
          "Kunst", "Musik", "Sporthalle", "Aula", "Bibliothek"]
TEXTE = ["", "", "", "Aufgaben liegen im Fach", "Arbeitsblätter im Kopierraum", "Raumwechsel",
         "Klassenarbeit beaufsichtigen", "\"Buch S. 84, Nr. 3-5\"", "Film zum Thema"]

TRANSLIT = str.maketrans({"ä": "ae", "ö": "oe", "ü": "ue", "ß": "ss", "é": "e", "Ä": "Ae",
                          "Ö": "Oe", "Ü": "Ue"})


def email(lehrer):
    kurz, name, vorname, hat_mail, _ = lehrer
    if not hat_mail:
        return ""
    return f"{vorname}.{name}@schule.example".translate(TRANSLIT).lower()


def datum(d):
    return d.strftime("%Y%m%d")


class Schule:
    def __init__(self):
        self.zufall = random.Random(20261207)
        self.zeilen = []
        self.unterrichte = []      # (nr, kurz, klassen, fach)
        self.naechste_nr = 1
        self.verlegungen = []      # (nr, kurz, unr, von, std_von, nach, std_nach)
        self.vertretungen = []     # dicts, see vertretung()

    # ---- lessons ----
    def unterricht(self, anteile, klassen, feldform=False):
        """One lesson: `anteile` = [(teacher, subject, [class indexes from 1])]."""
        nr = self.naechste_nr
        self.naechste_nr += 1
        faecher = []
        for _, fach, _ in anteile:
            if fach not in faecher:
                faecher.append(fach)
        z = self.zeilen
        z.append(f"0U,{nr}")
        z.append("Uf" + "".join(f",,{f}" for f in faecher))
        z.append("Uk" + "".join(f",,{k}" for k in klassen))
        z.append("Ul" + "".join(f",,{t}" for t, _, _ in anteile))
        for t, (kurz, fach, ks) in enumerate(anteile, start=1):
            s = faecher.index(fach) + 1
            zusammenhaengend = ks == list(range(ks[0], ks[-1] + 1))
            if zusammenhaengend and not feldform:
                z.append(f"Uz{t:2d}{ks[0]:2d}{ks[-1]:2d}{s:2d}")
            else:
                z.append(f"Uz{t:2d}    {s:2d}" + ",,,,,,,," + ",".join(str(k) for k in ks))
            self.unterrichte.append((nr, kurz, ",".join(klassen[k - 1] for k in ks), fach))
        return nr

    def lehrer_fuer(self, fach, schon=()):
        passende = [l[0] for l in LEHRER if fach in l[4] and l[0] not in schon]
        return self.zufall.choice(passende)

    def stundenplan(self):
        for klasse in KLASSEN:
            jahrgang = int(klasse[:-1])
            for fach in KERNFAECHER:
                if fach in ("PH", "CH") and jahrgang < 7:
                    continue
                if fach == "FR" and jahrgang < 6:
                    continue
                self.unterricht([(self.lehrer_fuer(fach), fach, [1])], [klasse])
        for jahrgang in range(5, 11):
            parallel = [f"{jahrgang}{z}" for z in "abc"]
            # Religion and ethics: three teachers for the three parallel classes.
            self.unterricht([(self.lehrer_fuer("REV"), "REV", [1, 2, 3]),
                             (self.lehrer_fuer("RKA"), "RKA", [1, 2, 3]),
                             (self.lehrer_fuer("ETH"), "ETH", [1, 2, 3])], parallel)
            # Sport: a and b together, two teachers.
            t1 = self.lehrer_fuer("SP")
            self.unterricht([(t1, "SP", [1, 2]), (self.lehrer_fuer("SP", (t1,)), "SP", [1, 2])],
                            parallel[:2])
            self.unterricht([(self.lehrer_fuer("SP"), "SP", [1])], parallel[2:])
        # Electives of year 9 and 10: each course gathers pupils of chosen classes.
        for jahrgang in (9, 10):
            parallel = [f"{jahrgang}{z}" for z in "abc"]
            self.unterricht([(self.lehrer_fuer("INF"), "INF", [1, 3]),
                             (self.lehrer_fuer("FR"), "FR", [2]),
                             (self.lehrer_fuer("LA"), "LA", [1, 2, 3])], parallel, feldform=True)

    # ---- substitutions ----
    def vertretung(self, tag, stunde, vertreter, statt, fach, raum, unr=None, text="",
                   klassen=(), art="", verlegung=None, raum_feld11=False):
        self.vertretungen.append(dict(tag=tag, stunde=stunde, vertreter=vertreter, statt=statt,
                                      fach=fach, raum=raum, unr=unr, text=text,
                                      klassen=list(klassen), art=art, verlegung=verlegung,
                                      raum_feld11=raum_feld11))

    def unterricht_von(self, kurz, fach=None):
        passende = [u for u in self.unterrichte if u[1] == kurz and (fach is None or u[3] == fach)]
        return self.zufall.choice(passende)

    def verlege(self, kurz, unr, von, std_von, nach, std_nach):
        nr = len(self.verlegungen) + 1
        self.verlegungen.append((nr, kurz, unr, von, std_von, nach, std_nach))
        return nr

    def vertritt(self, tag, stunde, abwesend, vertreter, **weiteres):
        nr, _, klassen, fach = self.unterricht_von(abwesend)
        eigenes = next(l for l in LEHRER + [REFERENDAR] if l[0] == vertreter)[4]
        vertretungsfach = fach if fach in eigenes or self.zufall.random() < 0.6 else eigenes[0]
        weiteres.setdefault("text", self.zufall.choice(TEXTE))
        self.vertretung(tag, stunde, vertreter, abwesend, vertretungsfach,
                        self.zufall.choice(RAEUME), unr=nr, klassen=klassen.split(","),
                        **weiteres)

    def montag(self):
        """Monday 7 December: Krüger is ill, Hofmann is on a class trip, Becker at a course."""
        t = DEMO_DATUM
        self.vertritt(t, 1, "KRU", "ADL")
        self.vertritt(t, 5, "KRU", "ADL")
        self.vertritt(t, 10, "KRU", "ADL", text="Nachmittagsunterricht")  # "10" before "5"
        self.vertritt(t, 2, "KRU", "SCM", text="Aufgaben liegen im Fach")
        self.vertritt(t, 3, "KRU", "WEI", text="\"Arbeitsblatt, Seite 12\"")
        self.vertritt(t, 4, "KRU", "BRA")  # a teacher without an address
        self.vertritt(t, 3, "HOF", "SAU", art="B", text="Mitbetreuung der 8a")
        self.vertritt(t, 4, "HOF", "SAU", art="B", raum_feld11=True)
        self.vertritt(t, 6, "HOF", "VOG")
        self.vertritt(t, 2, "BEC", "REF")  # the trainee of periods 1 and 2
        self.vertritt(t, 6, "BEC", "LOR", art="F")  # F stays when there are classes
        self.vertritt(t, 5, "BEC", "SCZ", art="N")  # cancelled: not shown
        self.vertritt(t, 7, "BEC", "DIE", art="E")  # not shown either
        self.vertritt(t, 8, "SEI", "WOL")
        self.vertretung(t, 7, "WOL", "SEI", "INF", "A201", unr=self.ag_nummer,
                        text="AG findet statt", klassen=["9a", "9b", "10a"])
        # Break supervisions: no classes; "/1" before the first lesson, "2/3" after the second.
        self.vertretung(t, 1, "OTT", "HOF", "", "Haupteingang", text="Frühaufsicht")
        self.vertretung(t, 3, "LAN", "HOF", "", "Hof", text="Pausenaufsicht")
        self.vertretung(t, 5, "FUC", "KRU", "", "Mensa", text="Pausenaufsicht")
        self.vertretung(t, 7, "MAI", "KRU", "", "Hof", text="entfällt", art="F")  # left out
        # Fischer swaps her 6th lesson into the 2nd on the same day; Neumann brings forward a
        # lesson of Friday.
        unr, _, klassen, fach = self.unterricht_von("FIS", "MA")
        v = self.verlege("FIS", unr, datum(t), 6, datum(t), 2)
        self.vertretung(t, 2, "FIS", "FIS", fach, "A103", unr=unr, klassen=klassen.split(","),
                        verlegung=v, text="Verlegung")
        unr, _, klassen, fach = self.unterricht_von("NEU")
        freitag = t - datetime.timedelta(days=3)
        v = self.verlege("NEU", unr, datum(freitag), 5, datum(t), 3)
        self.vertretung(t, 3, "NEU", "NEU", fach, "A202", unr=unr, klassen=klassen.split(","),
                        verlegung=v)

    def fortnight(self):
        start = DEMO_DATUM - datetime.timedelta(days=7)
        for offset in range(14):
            tag = start + datetime.timedelta(days=offset)
            if tag.weekday() >= 5:
                continue
            if tag == DEMO_DATUM:
                self.montag()
                continue
            mit_unterricht = sorted({u[1] for u in self.unterrichte if u[1] in KUERZEL})
            abwesend = self.zufall.sample(mit_unterricht, 2)
            frei = [l[0] for l in LEHRER if l[0] not in abwesend]
            for _ in range(self.zufall.randint(6, 10)):
                stunde = self.zufall.randint(1, 8)
                wer = self.zufall.choice(abwesend)
                wahl = self.zufall.random()
                if wahl < 0.1:
                    self.vertretung(tag, stunde, self.zufall.choice(frei), wer, "", "Hof",
                                    text="Pausenaufsicht")
                elif wahl < 0.2:
                    self.vertritt(tag, stunde, wer, self.zufall.choice(frei), art="B")
                elif wahl < 0.25:
                    self.vertritt(tag, stunde, wer, self.zufall.choice(frei),
                                  art=self.zufall.choice(["N", "E"]))
                elif wahl < 0.4:
                    kurz = self.zufall.choice(frei)
                    unr, _, klassen, fach = self.unterricht_von(kurz)
                    vorher = tag - datetime.timedelta(days=self.zufall.choice([1, 2, 7]))
                    v = self.verlege(kurz, unr, datum(vorher), self.zufall.randint(1, 6),
                                     datum(tag), stunde)
                    self.vertretung(tag, stunde, kurz, kurz, fach, self.zufall.choice(RAEUME),
                                    unr=unr, klassen=klassen.split(","), verlegung=v)
                else:
                    self.vertritt(tag, stunde, wer, self.zufall.choice(frei))

    # ---- the file ----
    def datei(self):
        kopf = [
            "0P,1,\"1. Halbjahr\",20260810,20270129",
            "0P,2,\"2. Halbjahr\",20270201,20270430",
            "0P,3,\"Abiturphase\",20270503,20270723",
            "0pL,1-2",
            "0pL,3",
        ]
        lehrerzeilen = ["PE,1-2-3"]
        for lehrer in LEHRER + [PLATZHALTER]:
            lehrerzeilen += lehrer_saetze(lehrer)
        lehrerzeilen += ["PE,1"] + lehrer_saetze(REFERENDAR)
        lehrerzeilen += ["PE,2"] + lehrer_saetze(NEUZUGANG)

        self.zeilen = ["0pU,1-2-3"]
        self.stundenplan()
        # The same lesson number is a computing club in periods 1 and 2 and a drama club in 3.
        self.zeilen.append("0pU,1-2")
        self.ag_nummer = self.unterricht([("SEI", "INF", [1, 2, 3]), ("REF", "DE", [2])],
                                         ["9a", "9b", "10a"])
        self.unterricht([("REF", "GE", [1])], ["7c"])
        unterrichte_1_2 = list(self.unterrichte)
        self.zeilen.append("0pU,3")
        self.naechste_nr = self.ag_nummer
        self.unterricht([("KEL", "THE", [1, 2, 3])], ["9a", "9b", "10a"])
        self.naechste_nr = 2000
        self.unterricht([("NEW", "MA", [1])], ["10c"])
        self.unterrichte = unterrichte_1_2  # substitutions are planned in period 1
        unterrichtszeilen = self.zeilen

        self.fortnight()
        verlegungszeilen = [f"0X,{nr},{kurz},{unr},{von},{sv},{nach},{sn}"
                            for nr, kurz, unr, von, sv, nach, sn in self.verlegungen]
        vertretungszeilen = []
        self.vertretungen.sort(key=lambda v: (v["tag"], v["stunde"]))
        for nr, v in enumerate(self.vertretungen, start=301):
            v["nr"] = nr
            felder = [""] * 14
            felder[0] = "0V"
            felder[1] = str(nr)
            felder[2] = datum(v["tag"])
            felder[3] = str(v["stunde"])
            felder[4] = v["vertreter"]
            felder[5] = v["statt"]
            felder[6] = v["fach"]
            felder[7 if not v["raum_feld11"] else 10] = v["raum"]
            felder[8] = "" if v["unr"] is None else str(v["unr"])
            felder[9] = v["text"]
            felder[11] = "" if v["verlegung"] is None else str(v["verlegung"])
            felder[13] = v["art"]
            vertretungszeilen.append(",".join(felder))
            if v["klassen"]:
                vertretungszeilen.append("Vk,," + ",".join(v["klassen"]))
        return kopf + lehrerzeilen + unterrichtszeilen + verlegungszeilen + vertretungszeilen


def lehrer_saetze(lehrer):
    kurz, name, vorname, _, _ = lehrer
    le = [""] * 15
    le[0] = "Le"
    le[5] = f"\"{vorname}\"" if vorname else ""
    le[14] = email(lehrer)
    return [f"00L,{kurz},\"{name}\"", ",".join(le)]


def schreibe(pfad, zeilen):
    with open(pfad, "wb") as f:
        f.write("".join(z + "\r\n" for z in zeilen).encode("cp1252"))


def einstellungen(schule):
    """Settings as the program writes them, with the mails the office sent on Friday afternoon
    for Monday: Adler's plan is unchanged since, Schmitz's substitution got a note, and Peters
    was mailed a lesson that has been cancelled since."""
    montag = datum(DEMO_DATUM)
    stempel = "202612041430"

    def schluessel(v):
        statt = next((u[3] for u in schule.unterrichte if u[0] == v["unr"] and u[1] == v["statt"]),
                     "")
        klassen = ",".join(v["klassen"])
        stunde = str(v["stunde"]) if klassen else (
            (str(v["stunde"] - 1) if v["stunde"] >= 2 else "") + "/" + str(v["stunde"]))
        text = v["text"][1:-1] if v["text"].startswith("\"") else v["text"]
        return (f"{montag},{stunde},{statt},{v['vertreter']},\"{klassen}\",{v['raum']},,"
                f"{text},{'1' if 'B' in v['art'] else '0'}")

    am_montag = [v for v in schule.vertretungen if v["tag"] == DEMO_DATUM]
    adler = [schluessel(v) for v in am_montag if v["vertreter"] == "ADL"]
    schmitz = [schluessel(v).replace("Aufgaben liegen im Fach", "") for v in am_montag
               if v["vertreter"] == "SCM"]
    peters_alt = f"{montag},2,EK,PET,\"7b\",A102,,,0"
    mails = [k + "," + stempel for k in adler + schmitz + [peters_alt]]
    mails += ["20261204,3,MA,ADL,\"6b\",A101,,,0,202612031610",
              "20261015,2,DE,GRO,\"5a\",A103,,,0,202610141200"]  # removed at start: too old

    return einstellungsdatei("* Einstellungs-Datei für das Programm Tafelbot (Demo-Schule)",
                             "examples/demo.gpn", "2525", mails)


def einstellungsdatei(titel, gpn, port, mails):
    """The settings file as the program writes it, the server block pointing at 127.0.0.1:port
    without AUTH."""
    z = [titel, ""]
    for kommentar, wert in [("* gp-Untis-Datei:", gpn),
                            ("* aktuelles Datum:", datum(DEMO_DATUM)), ("* Periode:", "1"),
                            ("* Fehlermedlung beim Daten-Einlesen? (0/1):", "1"),
                            ("* Samstags-Schule? (0/1):", "0"),
                            ("* Verwenden der Lehrer-Langnamen in der Tabelle? (0/1):", "1"),
                            ("* Soll bei einer Verlegung am selben Tag das Datum mit angegeben "
                             "werden? (0/1):", "0"),
                            ("* Zusatzinformation zum internen Gebrauch:", "v1.3")]:
        z += [kommentar, wert, ""]
    z += ["* Reihenfolge der folgenden Kategorien in der Tabelle (0: erscheint nicht):",
          "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
          "Mitbetreuung|eMail|gesendet|geandert|",
          "0,0,2,7,9,6,1,3,8,5,4,10,11,12,13", "",
          "* Spaltenbreiten der folgenden Kategorien in der Tabelle (Summe muss <= 770 sein!):",
          "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
          "Mitbetreuung|eMail|gesendet|geaendert|",
          "35,0,40,35,35,100,100,60,50,70,40,67,40,50,48", "",
          "* Überschriften der folgenden Kategorien in der eMail-Tabelle:",
          "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
          "Mitbetreuung|",
          "Nr,Datum,Std.,statt Fach,Fach,Vertr. für,Vertretung,Klasse,Raum,verlegt von,Text,"
          "Mitbetreuung", "",
          "* Nach wie vielen Tagen sollen die Informationen über gesendete eMails gelöscht werden?",
          "30", "",
          "* Mailserver-Einstellungen (15 Zeilen entsprechend dem Einstellungsfenster):",
          "Vertretungsplaner", "127.0.0.1", port, "vertretungsplan@schule.example", "0", "",
          "Vertretungsplaner", "vertretungsplan@schule.example", "sekretariat@schule.example",
          "0", "0", "0", "", "0",
          "Bei Fragen wenden Sie sich bitte an das Sekretariat.",
          "* Bisher gesendete eMails:"] + mails + [""]
    return z


ABWESEND = "ABW"


def kurzname(i):
    return f"L{i:03d}"


def adresse(i):
    return f"lehrer{i:03d}@schule.example"


def schlichte_schule(n):
    """The gpn lines of the plain school of n teachers."""
    montag = datum(DEMO_DATUM)
    z = ["0P,1,\"1. Halbjahr\",20260810,20270129", "0pL,1", "PE,1"]
    for i in range(1, n + 1):
        z += [f"00L,{kurzname(i)},\"Lehrer {i:03d}\"", "Le,,,,,\"Vorname\"" + "," * 9 + adresse(i)]
    z += [f"00L,{ABWESEND},\"Abwesend\"", "Le" + "," * 14]
    z += ["0pU,1", "0U,1", "Uf,,MA", "Uk,,5a", f"Ul,,{ABWESEND}", "Uz 1 1 1 1"]
    z += [f"0X,1,{ABWESEND},1,20261204,3,{montag},6"]
    nr = 100
    for i in range(1, n + 1):
        for stunde in [1 + (i + k) % 8 for k in range(1 + i % 3)]:
            nr += 1
            z += [f"0V,{nr},{montag},{stunde},{kurzname(i)},{ABWESEND},MA,R{stunde:02d},1,"
                  f"Arbeitsblatt für Übung {nr},,,,", "Vk,,5a"]
    return z


def main():
    if sys.argv[1:2] == ["--school"]:
        n, ordner, port = int(sys.argv[2]), sys.argv[3], sys.argv[4]
        gpn = os.path.join(ordner, "plan.gpn")
        schreibe(gpn, schlichte_schule(n))
        schreibe(os.path.join(ordner, "Tafelbot.ini"),
                 einstellungsdatei("* Einstellungs-Datei für das Programm Tafelbot", gpn, port, []))
        return
    schule = Schule()
    schreibe(os.path.join(HIER, "demo.gpn"), schule.datei())
    schreibe(os.path.join(HIER, "demo.ini"), einstellungen(schule))


if __name__ == "__main__":
    main()
