<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Cli</name>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>The results list is full: this search lists at most %1 rows. Later matches were not listed. To see them, give a larger --max-rows N, or --all for every row.</source>
        <translation>Die Ergebnisliste ist voll: Diese Suche listet höchstens %1 Zeilen auf. Spätere Treffer wurden nicht aufgelistet. Um sie zu sehen, geben Sie ein größeres --max-rows N an oder --all für alle Zeilen.</translation>
    </message>
    <message>
        <source>comparing %1 files; this may take a while</source>
        <translation>%1 Dateien werden verglichen; das kann eine Weile dauern</translation>
    </message>
    <message>
        <source>Exact Filename: files with the same name</source>
        <translation>Gleicher Name: Dateien mit demselben Namen</translation>
    </message>
    <message>
        <source>Exact Filesize: files with the same size in bytes</source>
        <translation>Gleiche Größe: Dateien mit derselben Größe in Bytes</translation>
    </message>
    <message>
        <source>Similar Filename: names sharing more than half of their words</source>
        <translation>Ähnlicher Name: Namen, die mehr als die Hälfte ihrer Wörter teilen</translation>
    </message>
    <message>
        <source>one line per row, fields separated by tabs (see FIELDS)</source>
        <translation>eine Zeile je Ergebniszeile, Felder durch Tabulatoren getrennt (siehe FELDER)</translation>
    </message>
    <message>
        <source>one JSON array of row objects, one row per line (see FIELDS)</source>
        <translation>ein JSON-Array von Zeilenobjekten, eine Zeile je Textzeile (siehe FELDER)</translation>
    </message>
    <message>
        <source>with --tsv: the field names as the first line</source>
        <translation>mit --tsv: die Feldnamen als erste Zeile</translation>
    </message>
    <message>
        <source>list at most N rows, N &gt;= 2 (default 32,767)</source>
        <translation>höchstens N Zeilen auflisten, N &gt;= 2 (Vorgabe 32.767)</translation>
    </message>
    <message>
        <source>list every row</source>
        <translation>alle Zeilen auflisten</translation>
    </message>
    <message>
        <source>no progress and no notes; warnings and errors are shown</source>
        <translation>kein Fortschritt und keine Hinweise; Warnungen und Fehler werden gezeigt</translation>
    </message>
    <message>
        <source>show this text</source>
        <translation>diesen Text zeigen</translation>
    </message>
    <message>
        <source>show the version</source>
        <translation>die Version zeigen</translation>
    </message>
    <message>
        <source>its name cannot be read. This is probably because it contains strange characters. Please rename the folder if you would like it included next time you find dupes.</source>
        <translation>sein Name kann nicht gelesen werden. Das liegt wahrscheinlich an ungewöhnlichen Zeichen darin. Bitte benennen Sie den Ordner um, wenn er bei der nächsten Suche nach Duplikaten dabei sein soll.</translation>
    </message>
    <message>
        <source>Try &apos;tallyrook-cli --help&apos; for more information.
</source>
        <translation>Mehr dazu mit &apos;tallyrook-cli --help&apos;.
</translation>
    </message>
    <message>
        <source>--tsv and --json cannot be used together</source>
        <translation>--tsv und --json können nicht zusammen verwendet werden</translation>
    </message>
    <message>
        <source>--header goes with --tsv</source>
        <translation>--header gehört zu --tsv</translation>
    </message>
    <message>
        <source>--all and --max-rows cannot be used together</source>
        <translation>--all und --max-rows können nicht zusammen verwendet werden</translation>
    </message>
    <message>
        <source>--max-rows takes a whole number of 2 or more: a group of duplicates lists at least 2 files</source>
        <translation>--max-rows verlangt eine ganze Zahl ab 2: eine Gruppe von Duplikaten listet mindestens 2 Dateien</translation>
    </message>
    <message>
        <source>no folder given</source>
        <translation>kein Ordner angegeben</translation>
    </message>
    <message>
        <source>[Comparing contents]</source>
        <translation>[Inhalte werden verglichen]</translation>
    </message>
    <message>
        <source>not compared: %1: %2</source>
        <translation>nicht verglichen: %1: %2</translation>
    </message>
    <message>
        <source>the rows could not be written: %1</source>
        <translation>die Zeilen konnten nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>with --contents: check every file of each copy set but the newest, oldest, largest or shortest (path), as the desktop program&apos;s helpers do: adds the field checked</source>
        <translation>mit --contents: in jeder Kopiengruppe jede Datei anhaken außer der neuesten, ältesten, größten oder der mit dem kürzesten Pfad, wie die Helfer des Desktop-Programms: fügt das Feld checked hinzu</translation>
    </message>
    <message>
        <source>with --select: never check a file in FOLDER or below it; a copy set with such a file keeps those and checks the others (repeatable)</source>
        <translation>mit --select: nie eine Datei in ORDNER oder darunter anhaken; eine Kopiengruppe mit solchen Dateien behält diese und hakt die anderen an (wiederholbar)</translation>
    </message>
    <message>
        <source>--select takes newest, oldest, largest or shortest</source>
        <translation>--select verlangt newest, oldest, largest oder shortest</translation>
    </message>
    <message>
        <source>--select goes with --contents: only compared contents make copies</source>
        <translation>--select gehört zu --contents: nur verglichene Inhalte machen Kopien</translation>
    </message>
    <message>
        <source>--protect goes with --select</source>
        <translation>--protect gehört zu --select</translation>
    </message>
    <message>
        <source>--protect %1: not a folder</source>
        <translation>--protect %1: kein Ordner</translation>
    </message>
    <message>
        <source>usage: tallyrook-cli [OPTION]... [--inventory FILE]... FOLDER...
       tallyrook-cli --save-inventory FILE FOLDER...
</source>
        <translation>Aufruf: tallyrook-cli [OPTION]... [--inventory DATEI]... ORDNER...
        tallyrook-cli --save-inventory DATEI ORDNER...
</translation>
    </message>
    <message>
        <source>search a saved inventory&apos;s files too (repeatable)</source>
        <translation>auch die Dateien eines gespeicherten Inventars durchsuchen (wiederholbar)</translation>
    </message>
    <message>
        <source>save an inventory of the FOLDERs; no search</source>
        <translation>ein Inventar der ORDNER speichern; keine Suche</translation>
    </message>
    <message>
        <source>--save-inventory needs a FILE</source>
        <translation>--save-inventory braucht eine DATEI</translation>
    </message>
    <message>
        <source>--save-inventory takes only FOLDERs: it saves them and searches nothing</source>
        <translation>--save-inventory nimmt nur ORDNER: es speichert sie und sucht nichts</translation>
    </message>
    <message>
        <source>[Saving inventory]</source>
        <translation>[Inventar wird gespeichert]</translation>
    </message>
    <message>
        <source>%1 files saved to %2</source>
        <translation>%1 Dateien in %2 gespeichert</translation>
    </message>
    <message>
        <source>no inventory saved</source>
        <translation>kein Inventar gespeichert</translation>
    </message>
    <message>
        <source>with --save-inventory: store a SHA-256 of each file whose size another file has, in the FOLDERs or the inventories named with it</source>
        <translation>mit --save-inventory: einen SHA-256 jeder Datei speichern, deren Größe eine andere Datei hat, in den ORDNERN oder den damit genannten Inventaren</translation>
    </message>
    <message>
        <source>alone: Exact Contents, files with a byte-identical copy; with another criterion: compare the listed files&apos; contents. Adds the fields copy and file</source>
        <translation>allein: Gleicher Inhalt, Dateien mit einer byte-genau gleichen Kopie; mit einem anderen Kriterium: die Inhalte der aufgelisteten Dateien vergleichen. Fügt die Felder copy und file hinzu</translation>
    </message>
    <message>
        <source>with --contents alone: leave out files smaller than N bytes, or KiB, MiB or GiB with K, M or G; empty files are never copies</source>
        <translation>mit --contents allein: Dateien kleiner als N Bytes auslassen, oder KiB, MiB oder GiB mit K, M oder G; leere Dateien sind nie Kopien</translation>
    </message>
    <message>
        <source>
Finds duplicate files in the given folders and all their subfolders, by name and size, and
prints one row per file of each duplicate group. A search by name and size never reads file
contents; only --contents does.

OPTIONS
</source>
        <translation>
Findet doppelte Dateien in den angegebenen Ordnern und allen ihren Unterordnern, nach Name und
Größe, und gibt eine Zeile je Datei jeder Gruppe von Duplikaten aus. Eine Suche nach Name und
Größe liest nie Dateiinhalte; nur --contents tut das.

OPTIONEN
</translation>
    </message>
    <message>
        <source>  --               every later argument is a folder

Without --tsv or --json the rows are shown as a table, a blank line between groups, with
control characters and invisible format characters in names shown escaped (\x1b, \u202e). On
a terminal a progress line is shown on stderr while the search and the contents check run.
Warnings (skipped names, a full list, files not compared) and errors go to stderr, also with -q.

FIELDS
  path      the file&apos;s full path
  size      the size as text (&quot;1.5 MB&quot;), empty when unknown or 0 bytes
  modified  the last-modified date and time as text, empty when unknown
  type      the criterion that matched: Name, Size, Close or Copy
  colour    the row&apos;s colour in the desktop program
  group     the group&apos;s number, from 1 in list order: a group is the rows one file&apos;s matches
            add (the file itself unless already listed, then its partners)
  bytes     the size in bytes; empty in TSV, null in JSON when unknown
  mtime     the last-modified time, ISO 8601 UTC; empty in TSV, null in JSON when unknown
  copy      only with --contents: the copy set&apos;s number, from 1 in list order; a copy set is
            the listed files whose contents are byte for byte the same. Empty in TSV, null in
            JSON for a file with no identical copy or not compared (named on stderr). A copy
            set has two files or more: other names of one file (hard links) are no copy, and an
            empty file is never a copy. With --inventory, &quot;3 by fingerprint&quot;: the file&apos;s copies
            are known by fingerprint only, a file of an inventory or one here whose only
            copies are such files; a number alone is byte for byte
  file      only with --contents: rows that name one file (hard links, or a folder listed
            twice) share its number, from 1 in list order; empty in TSV, null in JSON for a
            file no other row names
  source    only with --inventory: &quot;MACHINE: LABEL&quot; of a file that is not here to look at,
            shown as the inventory recorded it (the table has a SOURCE column); empty for a
            file here
  checked   only with --select: 1 for a file the rule checks, else 0 (true and false in JSON).
            Every name of a file goes together, protected files are never checked, and a set
            with protected files keeps them all. Empty files are never checked
In TSV, backslash, tab, newline and carriage return inside a field are written \\, \t, \n and
\r. Sizes and dates as text follow the locale (LC_ALL, LC_NUMERIC, LC_TIME, LANG).

Recorded are the plain files (not links, not names beginning with &quot;.&quot;) of each FOLDER and of
every subfolder whose name does not begin with &quot;.&quot;.

With --contents alone (Exact Contents) the search lists every file that has a byte-identical
copy, one group per copy set, type Copy. Only files whose size another file has are read, each
byte at most once, and compared byte for byte; links are not followed, nothing is written and
access times are left alone. Paths of one file (hard links) are one file, never copies of each
other, and an empty file is never a copy. Files that could not be read are named on stderr.
With --name, --size or --similar, --contents reads the listed rows&apos; files after the search, only
those whose size another listed file has, and adds their copy sets to the rows. The progress line
and Ctrl-C work as for the search.

With --select the rows&apos; checked field is what the desktop program&apos;s helper of the same rule
would check, so a script can do what the window does:
  tallyrook-cli --size --contents --protect ~/Photos --select newest --tsv |
      awk -F&apos;\t&apos; &apos;$NF==1&apos; | cut -f1

INVENTORIES
--save-inventory FILE walks the FOLDERs and saves what the walk records (names, sizes, dates,
the machine and each file system&apos;s UUID and label) to FILE, an SQLite file; an existing FILE is
replaced only if it is an inventory, and Ctrl-C leaves it as it was. --inventory FILE searches
the files of a saved inventory with the FOLDERs, as if they had been walked after them. Of
inventories of one file system the newest is used. Where that file system is mounted here, a
folder that is also among the FOLDERs is taken from the walk, and a file unchanged since (size,
last write, inode) is a file like any other. Files of other inventories are never read.

With --fingerprints the saved inventory holds a SHA-256 of each file whose size another file has,
in the FOLDERs or in the inventories named with --inventory. A fingerprint is kept from the
inventory FILE replaces, or from one named, while its file&apos;s device, inode, size and last write
are unchanged; only the other files are read. --contents then compares the files of inventories
with those here by fingerprint: two files of equal size and fingerprint are copies &quot;by
fingerprint&quot;, two files here are still compared byte for byte. --select never checks a file of
an inventory: it is a copy that stays, as in a protected folder.

EXIT STATUS
  0    duplicates found
  1    no duplicates found
  2    something was wrong with what was asked (no criterion, an unknown option, a FOLDER that
       does not exist or is not a folder, a FILE that is not an inventory or is of a newer
       schema) or a folder could not be read; each is named on stderr, and the rows found in
       the other folders are still printed
  3    the rows, or the inventory, could not be written
  130  interrupted by Ctrl-C
A reader that stops early (| head) ends the command quietly with the status it would have had.
</source>
        <translation>  --               jedes weitere Argument ist ein Ordner

Ohne --tsv oder --json werden die Zeilen als Tabelle gezeigt, mit einer Leerzeile zwischen den
Gruppen; Steuerzeichen und unsichtbare Formatzeichen in Namen werden maskiert gezeigt (\x1b,
\u202e). Auf einem Terminal zeigt stderr eine Fortschrittszeile, solange die Suche und der
Inhaltsvergleich laufen. Warnungen (übersprungene Namen, eine volle Liste, nicht verglichene
Dateien) und Fehler gehen nach stderr, auch mit -q.

FELDER
  path      der vollständige Pfad der Datei
  size      die Größe als Text (&quot;1.5 MB&quot;), leer, wenn unbekannt oder 0 Bytes
  modified  Datum und Uhrzeit der letzten Änderung als Text, leer, wenn unbekannt
  type      das Kriterium, das zutraf: Name, Size, Close oder Copy
  colour    die Farbe der Zeile im Desktop-Programm
  group     die Nummer der Gruppe, ab 1 in Listenreihenfolge: eine Gruppe sind die Zeilen, die
            die Treffer einer Datei hinzufügen (die Datei selbst, sofern noch nicht aufgelistet,
            dann ihre Partner)
  bytes     die Größe in Bytes; leer in TSV, null in JSON, wenn unbekannt
  mtime     die Zeit der letzten Änderung, ISO 8601 UTC; leer in TSV, null in JSON, wenn unbekannt
  copy      nur mit --contents: die Nummer der Kopiengruppe, ab 1 in Listenreihenfolge; eine
            Kopiengruppe sind die aufgelisteten Dateien, deren Inhalte Byte für Byte gleich sind.
            Leer in TSV, null in JSON für eine Datei ohne identische Kopie oder eine nicht
            verglichene (auf stderr genannt). Eine Kopiengruppe hat zwei Dateien oder mehr:
            weitere Namen einer Datei (harte Links) sind keine Kopie, und eine leere Datei ist
            nie eine Kopie. Mit --inventory &quot;3 by fingerprint&quot;: die Kopien der Datei sind
            nur per Fingerabdruck bekannt, eine Datei eines Inventars oder eine hier, deren
            einzige Kopien solche Dateien sind; eine Zahl allein heißt Byte für Byte
  file      nur mit --contents: Zeilen, die eine Datei nennen (harte Links oder ein doppelt
            aufgeführter Ordner), teilen deren Nummer, ab 1 in Listenreihenfolge; leer in TSV,
            null in JSON für eine Datei, die keine andere Zeile nennt
  source    nur mit --inventory: &quot;RECHNER: BEZEICHNUNG&quot; einer Datei, die hier nicht zu sehen
            ist, so gezeigt, wie das Inventar sie erfasst hat (die Tabelle hat eine Spalte
            SOURCE); leer für eine Datei hier
  checked   nur mit --select: 1 für eine Datei, die die Regel anhakt, sonst 0 (true und false in
            JSON). Alle Namen einer Datei gehen zusammen, geschützte Dateien werden nie
            angehakt, und eine Gruppe mit geschützten Dateien behält sie alle. Leere Dateien
            werden nie angehakt
In TSV werden Backslash, Tabulator, Zeilenvorschub und Wagenrücklauf in einem Feld als \\, \t,
\n und \r geschrieben. Größen und Daten als Text folgen dem Gebietsschema (LC_ALL, LC_NUMERIC,
LC_TIME, LANG).

Erfasst werden die gewöhnlichen Dateien (keine Links, keine Namen, die mit &quot;.&quot; beginnen) jedes
ORDNERS und jedes Unterordners, dessen Name nicht mit &quot;.&quot; beginnt.

Mit --contents allein (Gleicher Inhalt) listet die Suche jede Datei, die eine byte-genau gleiche
Kopie hat, eine Gruppe je Kopiengruppe, Typ Copy. Gelesen werden nur Dateien, deren Größe eine
andere Datei hat, jedes Byte höchstens einmal, und Byte für Byte verglichen; Links werden nicht
verfolgt, nichts wird geschrieben, und Zugriffszeiten bleiben unverändert. Pfade einer Datei
(harte Links) sind eine Datei, nie Kopien voneinander, und eine leere Datei ist nie eine Kopie.
Dateien, die nicht gelesen werden konnten, werden auf stderr genannt.
Mit --name, --size oder --similar liest --contents nach der Suche die Dateien der aufgelisteten
Zeilen, nur die, deren Größe eine andere aufgelistete Datei hat, und fügt ihre Kopiengruppen den
Zeilen hinzu. Die Fortschrittszeile und Strg+C wirken wie bei der Suche.

Mit --select ist das Feld checked der Zeilen das, was der Helfer des Desktop-Programms mit
derselben Regel anhaken würde, sodass ein Skript tun kann, was das Fenster tut:
  tallyrook-cli --size --contents --protect ~/Photos --select newest --tsv |
      awk -F&apos;\t&apos; &apos;$NF==1&apos; | cut -f1

INVENTARE
--save-inventory DATEI durchläuft die ORDNER und speichert, was die Suche erfasst (Namen,
Größen, Daten, den Rechner sowie UUID und Bezeichnung jedes Dateisystems), in DATEI, einer
SQLite-Datei; eine vorhandene DATEI wird nur ersetzt, wenn sie ein Inventar ist, und Strg+C lässt
sie, wie sie war. --inventory DATEI durchsucht die Dateien eines gespeicherten Inventars mit den
ORDNERN, als wären sie nach ihnen durchlaufen worden. Von Inventaren eines Dateisystems wird das
neueste verwendet. Wo dieses Dateisystem hier eingehängt ist, wird ein Ordner, der auch unter den
ORDNERN ist, aus der Suche genommen, und eine seither unveränderte Datei (Größe, letzte Änderung,
Inode) ist eine Datei wie jede andere. Dateien anderer Inventare werden nie gelesen.

Mit --fingerprints enthält das gespeicherte Inventar einen SHA-256 jeder Datei, deren Größe eine
andere Datei hat, in den ORDNERN oder in den mit --inventory genannten Inventaren. Ein
Fingerabdruck wird aus dem Inventar übernommen, das DATEI ersetzt, oder aus einem genannten,
solange Gerät, Inode, Größe und letzte Änderung seiner Datei gleich sind; nur die übrigen Dateien
werden gelesen. --contents vergleicht dann die Dateien von Inventaren per Fingerabdruck mit denen
hier: zwei Dateien gleicher Größe und gleichen Fingerabdrucks sind Kopien &quot;by fingerprint&quot;,
zwei Dateien hier werden weiterhin Byte für Byte verglichen. --select hakt eine Datei eines
Inventars nie an: sie ist eine Kopie, die bleibt, wie in einem geschützten Ordner.

RÜCKGABEWERT
  0    Duplikate gefunden
  1    keine Duplikate gefunden
  2    mit dem Aufruf stimmte etwas nicht (kein Kriterium, eine unbekannte Option, ein ORDNER,
       der nicht existiert oder kein Ordner ist, eine DATEI, die kein Inventar ist oder ein
       neueres Schema hat) oder ein Ordner konnte nicht gelesen werden;
       jeder wird auf stderr genannt, und die Zeilen der anderen Ordner werden trotzdem
       ausgegeben
  3    die Zeilen oder das Inventar konnten nicht geschrieben werden
  130  durch Strg+C unterbrochen
Ein Leser, der früh aufhört (| head), beendet den Befehl still mit dem Status, den er sonst gehabt
hätte.
</translation>
    </message>
    <message>
        <source>--fingerprints goes with --save-inventory</source>
        <translation>--fingerprints gehört zu --save-inventory</translation>
    </message>
    <message>
        <source>[Making fingerprints]</source>
        <translation>[Fingerabdrücke werden erstellt]</translation>
    </message>
    <message>
        <source>no fingerprint: %1: %2</source>
        <translation>kein Fingerabdruck: %1: %2</translation>
    </message>
    <message>
        <source>%1 fingerprints, %2 of them read (%3 bytes)</source>
        <translation>%1 Fingerabdrücke, %2 davon gelesen (%3 Bytes)</translation>
    </message>
    <message>
        <source>--min-size takes a number of bytes, with K, M or G for KiB, MiB or GiB</source>
        <translation>--min-size erwartet eine Anzahl Bytes, mit K, M oder G für KiB, MiB oder GiB</translation>
    </message>
    <message>
        <source>--min-size goes with --contents alone</source>
        <translation>--min-size gehört zu --contents allein</translation>
    </message>
    <message>
        <source>choose at least one of --name, --size, --similar, --contents</source>
        <translation>wählen Sie mindestens eines von --name, --size, --similar, --contents</translation>
    </message>
</context>
<context>
    <name>ContentsTexts</name>
    <message>
        <source>it could not be read</source>
        <translation>sie konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>it is no longer there</source>
        <translation>sie ist nicht mehr da</translation>
    </message>
    <message>
        <source>it changed since it was listed</source>
        <translation>sie hat sich geändert, seit sie aufgelistet wurde</translation>
    </message>
    <message>
        <source>it is no longer a plain file</source>
        <translation>sie ist keine gewöhnliche Datei mehr</translation>
    </message>
    <message>
        <source>another path in the list names this very file</source>
        <translation>ein anderer Pfad der Liste nennt genau diese Datei</translation>
    </message>
    <message>
        <source>the comparison was stopped before it got there</source>
        <translation>der Vergleich wurde angehalten, bevor er sie erreichte</translation>
    </message>
</context>
<context>
    <name>DesktopMain</name>
    <message>
        <source>usage: tallyrook [OPTION]... [FOLDER]...
</source>
        <translation>Aufruf: tallyrook [OPTION]... [ORDNER]...
</translation>
    </message>
    <message>
        <source>Tallyrook&apos;s window needs a desktop session. Start it from one, or use tallyrook-cli,
which runs the same search without a window (tallyrook-cli --help).
</source>
        <translation>Das Fenster von Tallyrook braucht eine Desktop-Sitzung. Starten Sie es aus einer, oder verwenden
Sie tallyrook-cli, das dieselbe Suche ohne Fenster ausführt (tallyrook-cli --help).
</translation>
    </message>
    <message>
        <source>the display cannot be opened.</source>
        <translation>der Bildschirm kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>there is no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset).</source>
        <translation>es gibt keinen Bildschirm, auf dem das Fenster erscheinen kann (DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt).</translation>
    </message>
    <message>
        <source>Try &apos;tallyrook --help&apos; for more information.
</source>
        <translation>Mehr dazu mit &apos;tallyrook --help&apos;.
</translation>
    </message>
    <message>
        <source>cannot add %1</source>
        <translation>%1 kann nicht hinzugefügt werden</translation>
    </message>
    <message>
        <source>
Finds duplicate files across a list of folders, by name, size or contents, shows them one row
per file with a check box on each, and moves the checked files to the Trash in one request. Only
Exact Contents, and Compare Contents in the results window on request, read files: only those
whose size another file has, never writing them; an empty file is never a copy.

OPTIONS
  --inventory FILE
                   search the files of a saved inventory too (repeatable)
  -h, --help       show this text
  --version        show the version
  --               every later argument is a folder
Qt&apos;s own options (-platform, -style, ...) are understood too.

Each FOLDER starts in the folder list, in order; a file stands for its folder. One that does not
exist or cannot be read is named on stderr and left out.

Each inventory FILE is added to the folder list, and remembered there, as Add Inventory adds it:
its files are searched with the folders&apos; although its drive or machine is not here. A FILE that
is not an inventory, or was made by a newer Tallyrook, is named on stderr and left out.
Inventories are saved with Save Inventory on the folder list&apos;s menu, or with tallyrook-cli
--save-inventory.

The window needs a desktop session. Without one, tallyrook-cli runs the same search and prints
the rows (see tallyrook-cli --help).
</source>
        <translation>
Findet doppelte Dateien in einer Liste von Ordnern, nach Name, Größe oder Inhalt, zeigt sie mit
einer Zeile je Datei und einem Kästchen in jeder Zeile und verschiebt die angehakten Dateien mit
einer Anfrage in den Papierkorb. Nur Gleicher Inhalt, und auf Wunsch Inhalte vergleichen im
Ergebnisfenster, lesen Dateien: nur die, deren Größe eine andere Datei hat, und ohne sie je zu
schreiben; eine leere Datei ist nie eine Kopie.

OPTIONEN
  --inventory DATEI
                   auch die Dateien eines gespeicherten Inventars durchsuchen (wiederholbar)
  -h, --help       diesen Text zeigen
  --version        die Version zeigen
  --               jedes weitere Argument ist ein Ordner
Qts eigene Optionen (-platform, -style, ...) werden ebenfalls verstanden.

Jeder ORDNER steht zu Beginn in der Ordnerliste, in der angegebenen Reihenfolge; eine Datei steht
für ihren Ordner. Einer, der nicht existiert oder nicht gelesen werden kann, wird auf stderr
genannt und ausgelassen.

Jede Inventar-DATEI wird der Ordnerliste hinzugefügt und dort behalten, wie Inventar hinzufügen
es tut: ihre Dateien werden mit denen der Ordner durchsucht, obwohl ihr Laufwerk oder Rechner
nicht da ist. Eine DATEI, die kein Inventar ist oder von einem neueren Tallyrook stammt, wird auf
stderr genannt und ausgelassen. Inventare werden mit Inventar speichern im Menü der Ordnerliste
gespeichert oder mit tallyrook-cli --save-inventory.

Das Fenster braucht eine Desktop-Sitzung. Ohne sie führt tallyrook-cli dieselbe Suche aus und
gibt die Zeilen aus (siehe tallyrook-cli --help).
</translation>
    </message>
</context>
<context>
    <name>EventTexts</name>
    <message>
        <source>There are no folders to find duplicates for. Please drag and drop some folders into the list above.</source>
        <translation>Es gibt keine Ordner, in denen nach Duplikaten gesucht werden kann. Bitte ziehen Sie einige Ordner in die Liste oben.</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Auswahl</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Übersprungen</translation>
    </message>
    <message>
        <source>%1 has been skipped because it is unrecognizeable. This is probably because it contains strange characters. Please rename the file or folder if you would like it included next time you find dupes.</source>
        <translation>%1 wurde übersprungen, weil der Name nicht lesbar ist. Das liegt wahrscheinlich an ungewöhnlichen Zeichen darin. Bitte benennen Sie die Datei oder den Ordner um, wenn sie bei der nächsten Suche nach Duplikaten dabei sein sollen.</translation>
    </message>
    <message>
        <source>The file inventory is full at %1 files, the most one search can compare. The rest of the folders was not searched, so their duplicates are not shown. Please remove some folders from the list and find dupes again.</source>
        <translation>Das Dateiverzeichnis ist mit %1 Dateien voll, mehr kann eine Suche nicht vergleichen. Der Rest der Ordner wurde nicht durchsucht, deshalb werden ihre Duplikate nicht gezeigt. Bitte entfernen Sie einige Ordner aus der Liste und suchen Sie erneut nach Duplikaten.</translation>
    </message>
    <message>
        <source>The results list is full: one search can list at most %1 rows. Later matches were not listed. To see them, search fewer folders or tick fewer options.</source>
        <translation>Die Ergebnisliste ist voll: Eine Suche kann höchstens %1 Zeilen auflisten. Spätere Treffer wurden nicht aufgelistet. Um sie zu sehen, durchsuchen Sie weniger Ordner oder wählen Sie weniger Optionen.</translation>
    </message>
    <message>
        <source>No dupes</source>
        <translation>Keine Duplikate</translation>
    </message>
    <message>
        <source>No duplicate MP3s found.</source>
        <translation>Keine doppelten MP3s gefunden.</translation>
    </message>
    <message>
        <source>1 file or folder has been skipped because its name is unrecognizeable:</source>
        <translation>1 Datei oder 1 Ordner wurde übersprungen, weil der Name nicht lesbar ist:</translation>
    </message>
    <message>
        <source>This is probably because it contains strange characters. Please rename the file or folder if you would like it included next time you find dupes.</source>
        <translation>Das liegt wahrscheinlich an ungewöhnlichen Zeichen darin. Bitte benennen Sie die Datei oder den Ordner um, wenn sie bei der nächsten Suche nach Duplikaten dabei sein sollen.</translation>
    </message>
    <message>
        <source>%1 files or folders have been skipped because their names are unrecognizeable:</source>
        <translation>%1 Dateien oder Ordner wurden übersprungen, weil ihre Namen nicht lesbar sind:</translation>
    </message>
    <message>
        <source>This is probably because they contain strange characters. Please rename the files or folders if you would like them included next time you find dupes.</source>
        <translation>Das liegt wahrscheinlich an ungewöhnlichen Zeichen darin. Bitte benennen Sie die Dateien oder Ordner um, wenn sie bei der nächsten Suche nach Duplikaten dabei sein sollen.</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Frage</translation>
    </message>
    <message>
        <source>The %1 folder(s) you&apos;ve selected contains %2 files. This is over the recommended amount of 20,000. Please remove some folders from the list by selecting them and pressing &apos;Delete&apos; on the keyboard or click &apos;Clear List&apos;.</source>
        <translation>Die %1 gewählten Ordner enthalten %2 Dateien. Das ist mehr als die empfohlene Menge von 20.000. Bitte entfernen Sie einige Ordner aus der Liste, indem Sie sie markieren und die Taste &apos;Entf&apos; drücken, oder klicken Sie auf &apos;Liste leeren&apos;.</translation>
    </message>
    <message>
        <source>You can still proceed, but the duplicate finding process may take a long time. Would you like to proceed anyway?</source>
        <translation>Sie können trotzdem fortfahren, aber die Suche nach Duplikaten kann lange dauern. Möchten Sie trotzdem fortfahren?</translation>
    </message>
    <message>
        <source>1 folder could not be read, so its files were not searched</source>
        <translation>1 Ordner konnte nicht gelesen werden, seine Dateien wurden also nicht durchsucht</translation>
    </message>
    <message>
        <source>%1 folders could not be read, so their files were not searched</source>
        <translation>%1 Ordner konnten nicht gelesen werden, ihre Dateien wurden also nicht durchsucht</translation>
    </message>
    <message>
        <source>Please check that you may open the folder, then find dupes again.</source>
        <translation>Bitte prüfen Sie, ob Sie den Ordner öffnen dürfen, und suchen Sie dann erneut nach Duplikaten.</translation>
    </message>
    <message>
        <source>Please check that you may open the folders, then find dupes again.</source>
        <translation>Bitte prüfen Sie, ob Sie die Ordner öffnen dürfen, und suchen Sie dann erneut nach Duplikaten.</translation>
    </message>
    <message>
        <source>Please select at least one option at the upper right: Exact Filename, Exact Filesize, Similar Filename, Exact Contents</source>
        <translation>Bitte wählen Sie oben rechts mindestens eine Option: Gleicher Name, Gleiche Größe, Ähnlicher Name, Gleicher Inhalt</translation>
    </message>
</context>
<context>
    <name>Inventory</name>
    <message>
        <source>not a Tallyrook inventory</source>
        <translation>kein Tallyrook-Inventar</translation>
    </message>
    <message>
        <source>made by a newer Tallyrook (inventory schema %1; this one reads up to %2)</source>
        <translation>von einem neueren Tallyrook erstellt (Inventarschema %1; dieses liest bis %2)</translation>
    </message>
    <message>
        <source>a damaged inventory: %1</source>
        <translation>ein beschädigtes Inventar: %1</translation>
    </message>
    <message>
        <source>a file of a folder it does not list</source>
        <translation>eine Datei in einem Ordner, den es nicht aufführt</translation>
    </message>
</context>
<context>
    <name>SearchRun</name>
    <message>
        <source>[Finding duplicates - Exact Filename]</source>
        <translation>[Duplikate werden gesucht - Gleicher Name]</translation>
    </message>
    <message>
        <source>[Finding duplicates - Exact Filesize]</source>
        <translation>[Duplikate werden gesucht - Gleiche Größe]</translation>
    </message>
    <message>
        <source>[Finding duplicates - Similar Filename]</source>
        <translation>[Duplikate werden gesucht - Ähnlicher Name]</translation>
    </message>
    <message>
        <source>[Finding duplicates - Exact Contents]</source>
        <translation>[Duplikate werden gesucht - Gleicher Inhalt]</translation>
    </message>
</context>
<context>
    <name>TrashTexts</name>
    <message>
        <source>The request was cancelled before it got to this file. It was left in place.</source>
        <translation>Die Anfrage wurde abgebrochen, bevor sie diese Datei erreichte. Die Datei blieb, wo sie war.</translation>
    </message>
    <message>
        <source>It was left in place.</source>
        <translation>Sie blieb, wo sie war.</translation>
    </message>
    <message>
        <source>It is still in the %1.</source>
        <translation>Sie ist noch im %1.</translation>
    </message>
    <message>
        <source>Move to %1</source>
        <translation>In den %1 verschieben</translation>
    </message>
    <message>
        <source>Are you sure you want to move &quot;%1&quot;%2 to the %3?</source>
        <translation>Möchten Sie „%1“%2 wirklich in den %3 verschieben?</translation>
    </message>
    <message>
        <source>Are you sure you want to move these %1 files%2 to the %3?</source>
        <translation>Möchten Sie diese %1 Dateien%2 wirklich in den %3 verschieben?</translation>
    </message>
    <message>
        <source>1 file could not be moved to the %1:</source>
        <translation>1 Datei konnte nicht in den %1 verschoben werden:</translation>
    </message>
    <message>
        <source>%1 files could not be moved to the %2:</source>
        <translation>%1 Dateien konnten nicht in den %2 verschoben werden:</translation>
    </message>
    <message>
        <source>1 file could not be put back:</source>
        <translation>1 Datei konnte nicht zurückgelegt werden:</translation>
    </message>
    <message>
        <source>%1 files could not be put back:</source>
        <translation>%1 Dateien konnten nicht zurückgelegt werden:</translation>
    </message>
    <message>
        <source>Moving files to the %1...</source>
        <translation>Dateien werden in den %1 verschoben...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Undo Last Trash Request</source>
        <translation>Letzte Papierkorb-Anfrage rückgängig machen</translation>
    </message>
    <message>
        <source>1 checked name is another name of a file that stays: it frees no space</source>
        <translation>1 angehakter Name ist ein weiterer Name einer Datei, die bleibt: er gibt keinen Platz frei</translation>
    </message>
    <message>
        <source>%1 checked names are other names of files that stay: they free no space</source>
        <translation>%1 angehakte Namen sind weitere Namen von Dateien, die bleiben: sie geben keinen Platz frei</translation>
    </message>
    <message>
        <source>Uncheck These</source>
        <translation>Diese abhaken</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>1 checked file has no file of the same size left unchecked in its groups:</source>
        <translation>1 angehakte Datei lässt in ihren Gruppen keine Datei derselben Größe unangehakt zurück:</translation>
    </message>
    <message>
        <source>%1 checked files have no file of the same size left unchecked in their groups:</source>
        <translation>%1 angehakte Dateien lassen in ihren Gruppen keine Datei derselben Größe unangehakt zurück:</translation>
    </message>
    <message>
        <source>Only files of the same size can be copies. Compare Contents (Ctrl+K) tells which files are true copies.</source>
        <translation>Nur Dateien derselben Größe können Kopien sein. Inhalte vergleichen (Strg+K) zeigt, welche Dateien echte Kopien sind.</translation>
    </message>
    <message>
        <source>1 checked file has no identical copy left unchecked:</source>
        <translation>1 angehakte Datei lässt keine identische Kopie unangehakt zurück:</translation>
    </message>
    <message>
        <source>%1 checked files have no identical copy left unchecked:</source>
        <translation>%1 angehakte Dateien lassen keine identische Kopie unangehakt zurück:</translation>
    </message>
    <message>
        <source>1 checked file has changed since its contents were compared:</source>
        <translation>1 angehakte Datei hat sich geändert, seit ihr Inhalt verglichen wurde:</translation>
    </message>
    <message>
        <source>%1 checked files have changed since their contents were compared:</source>
        <translation>%1 angehakte Dateien haben sich geändert, seit ihre Inhalte verglichen wurden:</translation>
    </message>
    <message>
        <source>Unchecks the files named here and goes back to the list.</source>
        <translation>Hakt die hier genannten Dateien ab und kehrt zur Liste zurück.</translation>
    </message>
    <message>
        <source>%1: the other copy is on %2</source>
        <translation>%1: die andere Kopie ist auf %2</translation>
    </message>
</context>
<context>
    <name>TrashWriter</name>
    <message>
        <source>there is no home folder</source>
        <translation>es gibt keinen persönlichen Ordner</translation>
    </message>
    <message>
        <source>The Trash could not take a record of it: %1.</source>
        <translation>Der Papierkorb konnte keinen Eintrag dazu anlegen: %1.</translation>
    </message>
    <message>
        <source>The file no longer exists.</source>
        <translation>Die Datei existiert nicht mehr.</translation>
    </message>
    <message>
        <source>Its drive cannot move it into the Trash without a risk of replacing another file.</source>
        <translation>Ihr Laufwerk kann sie nicht in den Papierkorb verschieben, ohne eine andere Datei ersetzen zu können.</translation>
    </message>
    <message>
        <source>It could not be moved into the Trash: %1.</source>
        <translation>Sie konnte nicht in den Papierkorb verschoben werden: %1.</translation>
    </message>
    <message>
        <source>It changed while it was being moved.</source>
        <translation>Sie hat sich geändert, während sie verschoben wurde.</translation>
    </message>
    <message>
        <source>It changed while it was being moved; what took its place is in the Trash as &quot;%1&quot;.</source>
        <translation>Sie hat sich geändert, während sie verschoben wurde; was an ihre Stelle trat, liegt im Papierkorb als „%1“.</translation>
    </message>
    <message>
        <source>No free name could be found for it in the Trash.</source>
        <translation>Im Papierkorb fand sich kein freier Name für sie.</translation>
    </message>
    <message>
        <source>It is not a full path to a file.</source>
        <translation>Das ist kein vollständiger Pfad zu einer Datei.</translation>
    </message>
    <message>
        <source>It cannot be read: %1.</source>
        <translation>Sie kann nicht gelesen werden: %1.</translation>
    </message>
    <message>
        <source>It is now a folder, not a file.</source>
        <translation>Sie ist jetzt ein Ordner, keine Datei.</translation>
    </message>
    <message>
        <source>It is in the Trash already.</source>
        <translation>Sie liegt schon im Papierkorb.</translation>
    </message>
    <message>
        <source>The Trash folder could not be made: %1.</source>
        <translation>Der Papierkorb-Ordner konnte nicht angelegt werden: %1.</translation>
    </message>
    <message>
        <source>There is no Trash on the drive that holds it: %1.</source>
        <translation>Auf ihrem Laufwerk gibt es keinen Papierkorb: %1.</translation>
    </message>
    <message>
        <source>Trash</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>It is no longer in the Trash.</source>
        <translation>Sie liegt nicht mehr im Papierkorb.</translation>
    </message>
    <message>
        <source>Its folder no longer exists.</source>
        <translation>Ihr Ordner existiert nicht mehr.</translation>
    </message>
    <message>
        <source>Another file now has its name.</source>
        <translation>Eine andere Datei hat jetzt ihren Namen.</translation>
    </message>
    <message>
        <source>Its drive cannot put it back without a risk of replacing another file.</source>
        <translation>Ihr Laufwerk kann sie nicht zurücklegen, ohne eine andere Datei ersetzen zu können.</translation>
    </message>
    <message>
        <source>It could not be put back: %1.</source>
        <translation>Sie konnte nicht zurückgelegt werden: %1.</translation>
    </message>
    <message>
        <source>It changed in the Trash while it was being put back.</source>
        <translation>Sie hat sich im Papierkorb geändert, während sie zurückgelegt wurde.</translation>
    </message>
    <message>
        <source>Recycle Bin</source>
        <translation>Papierkorb</translation>
    </message>
</context>
<context>
    <name>Walk</name>
    <message>
        <source>[Analyzing %1 folder]</source>
        <translation>[Ordner %1 wird untersucht]</translation>
    </message>
</context>
<context>
    <name>tallyrook::FolderListView</name>
    <message>
        <source>Drag and drop folders or click &apos;Add Folder&apos; button.</source>
        <translation>Ordner hierher ziehen oder auf die Schaltfläche &apos;Ordner hinzufügen&apos; klicken.</translation>
    </message>
    <message>
        <source>You can not drag and drop virtual folders like My Documents. Instead browse to C:\Documents and Settings\Your Name\My Documents, for example, or drag and drop subfolders within My Documents</source>
        <translation>Virtuelle Ordner wie Eigene Dateien können nicht hierher gezogen werden. Wählen Sie stattdessen zum Beispiel C:\Dokumente und Einstellungen\Ihr Name\Eigene Dateien, oder ziehen Sie Unterordner aus Eigene Dateien hierher</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>tallyrook::Form1</name>
    <message>
        <source>Add folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Find dupes</source>
        <translation>Duplikate suchen</translation>
    </message>
    <message>
        <source>Clear list</source>
        <translation>Liste leeren</translation>
    </message>
    <message>
        <source>Stop find</source>
        <translation>Suche anhalten</translation>
    </message>
    <message>
        <source>Add a folder to the list.</source>
        <translation>Einen Ordner zur Liste hinzufügen.</translation>
    </message>
    <message>
        <source>Find duplicate files in the listed folders.</source>
        <translation>Doppelte Dateien in den aufgelisteten Ordnern suchen.</translation>
    </message>
    <message>
        <source>Empty the folder list.</source>
        <translation>Die Ordnerliste leeren.</translation>
    </message>
    <message>
        <source>Stop finding duplicates.</source>
        <translation>Die Suche nach Duplikaten anhalten.</translation>
    </message>
    <message>
        <source>Exact Filename</source>
        <translation>Gleicher Name</translation>
    </message>
    <message>
        <source>Files with exactly the same name.</source>
        <translation>Dateien mit genau demselben Namen.</translation>
    </message>
    <message>
        <source>Exact Filesize</source>
        <translation>Gleiche Größe</translation>
    </message>
    <message>
        <source>Files with exactly the same size.</source>
        <translation>Dateien mit genau derselben Größe.</translation>
    </message>
    <message>
        <source>Similar Filename</source>
        <translation>Ähnlicher Name</translation>
    </message>
    <message>
        <source>Files whose names share most of their words.</source>
        <translation>Dateien, deren Namen die meisten ihrer Wörter teilen.</translation>
    </message>
    <message>
        <source>Folders to Find File Duplicates In:</source>
        <translation>Ordner, in denen Duplikate gesucht werden:</translation>
    </message>
    <message>
        <source>&amp;Add Folder…</source>
        <translation>Ordner &amp;hinzufügen…</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Please select folder to add:</source>
        <translation>Bitte wählen Sie den Ordner, der hinzugefügt werden soll:</translation>
    </message>
    <message>
        <source>Search progress</source>
        <translation>Fortschritt der Suche</translation>
    </message>
    <message>
        <source>Folder list</source>
        <translation>Ordnerliste</translation>
    </message>
    <message>
        <source>&amp;Protect this folder</source>
        <translation>Diesen Ordner &amp;schützen</translation>
    </message>
    <message>
        <source>Files in this folder and below it are kept: they cannot be checked in the results, and the helpers check their copies elsewhere instead.</source>
        <translation>Dateien in diesem Ordner und darunter bleiben: Sie können in den Ergebnissen nicht angehakt werden, und die Helfer haken stattdessen ihre Kopien an anderer Stelle an.</translation>
    </message>
    <message>
        <source>&amp;Stop protecting</source>
        <translation>&amp;Nicht mehr schützen</translation>
    </message>
    <message>
        <source>Protected: the files in %1 and below it are kept.</source>
        <translation>Geschützt: Die Dateien in %1 und darunter bleiben.</translation>
    </message>
    <message>
        <source>Exact Contents</source>
        <translation>Gleicher Inhalt</translation>
    </message>
    <message>
        <source>Files with a byte-identical copy. Reads only the files whose size another file has; never writes, and never counts an empty file or another name of one file.</source>
        <translation>Dateien mit einer byte-genau gleichen Kopie. Liest nur die Dateien, deren Größe eine andere Datei hat; schreibt nie und zählt nie eine leere Datei oder einen weiteren Namen einer Datei.</translation>
    </message>
    <message>
        <source>Add &amp;Inventory…</source>
        <translation>&amp;Inventar hinzufügen…</translation>
    </message>
    <message>
        <source>Searches the files of a saved inventory with the folders: a drive that is not plugged in, or another machine.</source>
        <translation>Durchsucht die Dateien eines gespeicherten Inventars mit den Ordnern: ein Laufwerk, das nicht angeschlossen ist, oder einen anderen Rechner.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>These inventories could not be read and were taken out of the folder list:</source>
        <translation>Diese Inventare konnten nicht gelesen werden und wurden aus der Ordnerliste genommen:</translation>
    </message>
    <message>
        <source>Sa&amp;ve Inventory…</source>
        <translation>Inventar s&amp;peichern…</translation>
    </message>
    <message>
        <source>Saves the names, sizes and dates of every file in the listed folders, so that a search can include them when their drive is not here.</source>
        <translation>Speichert Namen, Größen und Daten aller Dateien in den aufgeführten Ordnern, damit eine Suche sie einbeziehen kann, wenn ihr Laufwerk nicht da ist.</translation>
    </message>
    <message>
        <source>Save Inventory with &amp;Fingerprints…</source>
        <translation>Inventar mit &amp;Fingerabdrücken speichern…</translation>
    </message>
    <message>
        <source>Also reads every file whose size another file has, here or in the listed inventories, and saves a fingerprint of its contents: Compare Contents then finds copies on drives and machines that are not here.</source>
        <translation>Liest außerdem jede Datei, deren Größe eine andere Datei hat, hier oder in den aufgeführten Inventaren, und speichert einen Fingerabdruck ihres Inhalts: Inhalte vergleichen findet dann Kopien auf Laufwerken und Rechnern, die nicht da sind.</translation>
    </message>
    <message>
        <source>%1 (inventory of %2, %3)</source>
        <translation>%1 (Inventar von %2, %3)</translation>
    </message>
    <message>
        <source>%1
%2 files of these folders on %3, as they were on %4:</source>
        <translation>%1
%2 Dateien dieser Ordner auf %3, wie sie am %4 waren:</translation>
    </message>
    <message>
        <source>Add Inventory</source>
        <translation>Inventar hinzufügen</translation>
    </message>
    <message>
        <source>Tallyrook inventories (*.%1);;All files (*)</source>
        <translation>Tallyrook-Inventare (*.%1);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Not added to the folder list:</source>
        <translation>Nicht zur Ordnerliste hinzugefügt:</translation>
    </message>
    <message>
        <source>This inventory cannot be searched:</source>
        <translation>Dieses Inventar kann nicht durchsucht werden:</translation>
    </message>
    <message>
        <source>There is no folder in the list to save an inventory of.</source>
        <translation>Die Liste enthält keinen Ordner, dessen Inventar gespeichert werden könnte.</translation>
    </message>
    <message>
        <source>Save Inventory with Fingerprints</source>
        <translation>Inventar mit Fingerabdrücken speichern</translation>
    </message>
    <message>
        <source>Save Inventory</source>
        <translation>Inventar speichern</translation>
    </message>
    <message>
        <source>Tallyrook inventories (*.%1)</source>
        <translation>Tallyrook-Inventare (*.%1)</translation>
    </message>
    <message>
        <source>[Saving inventory]</source>
        <translation>[Inventar wird gespeichert]</translation>
    </message>
    <message>
        <source>[Making fingerprints]</source>
        <translation>[Fingerabdrücke werden erstellt]</translation>
    </message>
    <message>
        <source>These files could not be read and were saved without a fingerprint:</source>
        <translation>Diese Dateien konnten nicht gelesen werden und wurden ohne Fingerabdruck gespeichert:</translation>
    </message>
    <message>
        <source>The inventory could not be saved:</source>
        <translation>Das Inventar konnte nicht gespeichert werden:</translation>
    </message>
    <message>
        <source>The inventory of %1 files was saved to %2.</source>
        <translation>Das Inventar von %1 Dateien wurde in %2 gespeichert.</translation>
    </message>
    <message>
        <source>These files could not be read, so they are not among the copies:</source>
        <translation>Diese Dateien konnten nicht gelesen werden und sind darum nicht unter den Kopien:</translation>
    </message>
</context>
<context>
    <name>tallyrook::Form4</name>
    <message>
        <source>Back to main</source>
        <translation>Zurück zum Hauptfenster</translation>
    </message>
    <message>
        <source>Delete checked files.</source>
        <translation>Angehakte Dateien löschen.</translation>
    </message>
    <message>
        <source>Send to recycling</source>
        <translation>In den Papierkorb</translation>
    </message>
    <message>
        <source>Clear out all checkmarks.</source>
        <translation>Alle Haken entfernen.</translation>
    </message>
    <message>
        <source>Uncheck all</source>
        <translation>Alle Haken entfernen</translation>
    </message>
    <message>
        <source>&amp;Undo Last Trash Request</source>
        <translation>Letzte Papierkorb-Anfrage &amp;rückgängig machen</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Show in &amp;Folder</source>
        <translation>Im Ordner &amp;anzeigen</translation>
    </message>
    <message>
        <source>&amp;Copy Path</source>
        <translation>Pfad &amp;kopieren</translation>
    </message>
    <message>
        <source>C&amp;heck all in this folder</source>
        <translation>Alle in diesem Ordner an&amp;haken</translation>
    </message>
    <message>
        <source>Unchec&amp;k all in this folder</source>
        <translation>Haken bei allen in diesem Ordner &amp;entfernen</translation>
    </message>
    <message>
        <source>Compare Con&amp;tents</source>
        <translation>&amp;Inhalte vergleichen</translation>
    </message>
    <message>
        <source>In every group, check all but the &amp;newest</source>
        <translation>In jeder Gruppe alle anhaken außer der &amp;neuesten</translation>
    </message>
    <message>
        <source>In every group, check all but the o&amp;ldest</source>
        <translation>In jeder Gruppe alle anhaken außer der ä&amp;ltesten</translation>
    </message>
    <message>
        <source>In every group, check all but the lar&amp;gest</source>
        <translation>In jeder Gruppe alle anhaken außer der &amp;größten</translation>
    </message>
    <message>
        <source>In every group, check all but the one with the &amp;shortest path</source>
        <translation>In jeder Gruppe alle anhaken außer der mit dem kürzesten &amp;Pfad</translation>
    </message>
    <message>
        <source>No two files in the list have the same contents, so no file was checked.</source>
        <translation>Keine zwei Dateien der Liste haben denselben Inhalt, daher wurde keine Datei angehakt.</translation>
    </message>
    <message>
        <source>Comparing contents...</source>
        <translation>Inhalte werden verglichen...</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Compare Contents</source>
        <translation>Inhalte vergleichen</translation>
    </message>
    <message>
        <source> row, </source>
        <translation> Zeile, </translation>
    </message>
    <message>
        <source> rows, </source>
        <translation> Zeilen, </translation>
    </message>
    <message>
        <source>no file checked</source>
        <translation>keine Datei angehakt</translation>
    </message>
    <message>
        <source> file checked</source>
        <translation> Datei angehakt</translation>
    </message>
    <message>
        <source> files checked</source>
        <translation> Dateien angehakt</translation>
    </message>
    <message>
        <source>No application could open &quot;%1&quot;.</source>
        <translation>Kein Programm konnte „%1“ öffnen.</translation>
    </message>
    <message>
        <source>Show the main window and its folder list again.</source>
        <translation>Das Hauptfenster mit seiner Ordnerliste wieder zeigen.</translation>
    </message>
    <message>
        <source>Duplicate files</source>
        <translation>Doppelte Dateien</translation>
    </message>
    <message>
        <source>One row per file. Space checks or unchecks the current row&apos;s file, Delete sends the checked files to the Trash, the Menu key opens the row&apos;s commands.</source>
        <translation>Eine Zeile je Datei. Die Leertaste hakt die Datei der aktuellen Zeile an oder ab, Entf verschiebt die angehakten Dateien in den Papierkorb, die Menütaste öffnet die Befehle der Zeile.</translation>
    </message>
    <message>
        <source>Rows, checked files and their size</source>
        <translation>Zeilen, angehakte Dateien und ihre Größe</translation>
    </message>
    <message>
        <source>&amp;Protect this folder</source>
        <translation>Diesen Ordner &amp;schützen</translation>
    </message>
    <message>
        <source>Stop p&amp;rotecting</source>
        <translation>Nicht mehr sch&amp;ützen</translation>
    </message>
    <message>
        <source>Checks exactly the extra copies of every set of identical files and unchecks every other row. Empty files and protected folders are never checked.</source>
        <translation>Hakt genau die überzähligen Kopien jeder Gruppe identischer Dateien an und hakt jede andere Zeile ab. Leere Dateien und geschützte Ordner werden nie angehakt.</translation>
    </message>
    <message>
        <source>Keeps every file in this folder and below it, for this list: it cannot be checked, and the helpers check the other copies instead.</source>
        <translation>Behält jede Datei in diesem Ordner und darunter, für diese Liste: Sie kann nicht angehakt werden, und die Helfer haken stattdessen die anderen Kopien an.</translation>
    </message>
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 von %2 Dateien</translation>
    </message>
    <message>
        <source>Comparing contents: %1 of %2 read (%3)</source>
        <translation>Inhalte werden verglichen: %1 von %2 gelesen (%3)</translation>
    </message>
    <message>
        <source>Comparing contents: %1</source>
        <translation>Inhalte werden verglichen: %1</translation>
    </message>
    <message>
        <source>. Compared: no two files have the same contents</source>
        <translation>. Verglichen: Keine zwei Dateien haben denselben Inhalt</translation>
    </message>
    <message>
        <source>. Compared: %1 copy sets, %2 files with a copy; the extra copies take %3</source>
        <translation>. Verglichen: %1 Kopiengruppen, %2 Dateien mit einer Kopie; die überzähligen Kopien belegen %3</translation>
    </message>
    <message>
        <source>%1 files, moved to the %2. Ctrl+Z puts them back</source>
        <translation>%1 Dateien, in den %2 verschoben. Strg+Z holt sie zurück</translation>
    </message>
    <message>
        <source>. Compared: 1 copy set, %1 files with a copy; the extra copies take %2</source>
        <translation>. Verglichen: 1 Kopiengruppe, %1 Dateien mit einer Kopie; die überzähligen Kopien belegen %2</translation>
    </message>
    <message>
        <source>1 file, moved to the %1. Ctrl+Z puts it back</source>
        <translation>1 Datei, in den %1 verschoben. Strg+Z holt sie zurück</translation>
    </message>
    <message>
        <source>1 file, %1, moved to the %2. Ctrl+Z puts it back</source>
        <translation>1 Datei, %1, in den %2 verschoben. Strg+Z holt sie zurück</translation>
    </message>
    <message>
        <source>%1 files, %2, moved to the %3. Ctrl+Z puts them back</source>
        <translation>%1 Dateien, %2, in den %3 verschoben. Strg+Z holt sie zurück</translation>
    </message>
</context>
<context>
    <name>tallyrook::ResultsModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Ähnlich</translation>
    </message>
    <message>
        <source> byte</source>
        <translation> Byte</translation>
    </message>
    <message>
        <source> bytes</source>
        <translation> Bytes</translation>
    </message>
    <message>
        <source>Filename</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Last Modified</source>
        <translation>Zuletzt geändert</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Copies</source>
        <translation>Kopien</translation>
    </message>
    <message>
        <source>not compared</source>
        <translation>nicht verglichen</translation>
    </message>
    <message>
        <source>no copy</source>
        <translation>keine Kopie</translation>
    </message>
    <message>
        <source>1 other copy</source>
        <translation>1 weitere Kopie</translation>
    </message>
    <message>
        <source>%1 other copies</source>
        <translation>%1 weitere Kopien</translation>
    </message>
    <message>
        <source>Not compared: it was not in the list when contents were compared.</source>
        <translation>Nicht verglichen: Sie war nicht in der Liste, als die Inhalte verglichen wurden.</translation>
    </message>
    <message>
        <source>Not compared: %1.</source>
        <translation>Nicht verglichen: %1.</translation>
    </message>
    <message>
        <source>No other file in the list has the same contents.</source>
        <translation>Keine andere Datei der Liste hat denselben Inhalt.</translation>
    </message>
    <message>
        <source>The same contents as:</source>
        <translation>Derselbe Inhalt wie:</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>Protected: everything in %1 is kept. It cannot be checked or sent to the %2.</source>
        <translation>Geschützt: Alles in %1 bleibt. Es kann nicht angehakt oder in den %2 verschoben werden.</translation>
    </message>
    <message>
        <source>empty</source>
        <translation>leer</translation>
    </message>
    <message>
        <source>same file as %1</source>
        <translation>dieselbe Datei wie %1</translation>
    </message>
    <message>
        <source>same file as %1 and %2 more</source>
        <translation>dieselbe Datei wie %1 und %2 weitere</translation>
    </message>
    <message>
        <source>An empty file: no copy of anything, and trashing it frees no space. The helpers never check it.</source>
        <translation>Eine leere Datei: keine Kopie von irgendetwas, und sie in den Papierkorb zu verschieben gibt keinen Platz frei. Die Helfer haken sie nie an.</translation>
    </message>
    <message>
        <source>The same file, by another name (trashing one name frees no space):</source>
        <translation>Dieselbe Datei unter einem anderen Namen (einen Namen in den Papierkorb zu verschieben gibt keinen Platz frei):</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopie</translation>
    </message>
    <message>
        <source>On %1, which is not here: it cannot be opened, checked or sent to the %2.</source>
        <translation>Auf %1, das nicht da ist: kann nicht geöffnet, angehakt oder in den %2 verschoben werden.</translation>
    </message>
    <message>
        <source>by fingerprint</source>
        <translation>nach Fingerabdruck</translation>
    </message>
    <message>
        <source>The same contents by fingerprint, not compared byte for byte (a copy that is not here cannot be read):</source>
        <translation>Derselbe Inhalt nach Fingerabdruck, nicht Byte für Byte verglichen (eine Kopie, die nicht da ist, kann nicht gelesen werden):</translation>
    </message>
    <message>
        <source>Not compared: it is not here to read, and no fingerprint saved with its inventory matches a file of the list.</source>
        <translation>Nicht verglichen: sie ist nicht da, um gelesen zu werden, und kein mit ihrem Inventar gespeicherter Fingerabdruck passt zu einer Datei der Liste.</translation>
    </message>
</context>
</TS>
