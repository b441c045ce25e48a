<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="de_DE">
<context>
    <name>BatchLayoutForm</name>
    <message>
        <source>Batch List</source>
        <translation>Stapelliste</translation>
    </message>
    <message>
        <source>Layout File</source>
        <translation>Layout-Datei</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Ansicht</translation>
    </message>
    <message>
        <source>Clipping</source>
        <translation>Schnittebenen</translation>
    </message>
    <message>
        <source>Image Type</source>
        <translation>Bildtyp</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Azimuth</source>
        <translation>Azimut</translation>
    </message>
    <message>
        <source>Layer</source>
        <translation>Ebene</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation>Nach &amp;oben</translation>
    </message>
    <message>
        <source>Move &amp;Down</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Jobs</source>
        <translation>Aufträge</translation>
    </message>
    <message>
        <source>Current job</source>
        <translation>Aktueller Auftrag</translation>
    </message>
    <message>
        <source>Run &amp;All</source>
        <translation>&amp;Alle ausführen</translation>
    </message>
</context>
<context>
    <name>Layout</name>
    <message>
        <source>Could not access a temporary file!</source>
        <translation>Auf eine temporäre Datei konnte nicht zugegriffen werden!</translation>
    </message>
    <message>
        <source>Permission denied while batch processing is running!</source>
        <translation>Nicht möglich, solange die Stapelverarbeitung läuft!</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>The Riegl API doesn't support a file path with non ASCII letters yet.
Please move your project to a different path with ASCII letters in the path only!</source>
        <translation>Die Riegl-Schnittstelle unterstützt noch keine Dateipfade mit Nicht-ASCII-Zeichen.
Bitte verschieben Sie Ihr Projekt in einen Pfad, der nur ASCII-Zeichen enthält!</translation>
    </message>
    <message>
        <source>The chosen files could not be read!
Please choose %1 scan files.</source>
        <translation>Die gewählten Dateien konnten nicht gelesen werden!
Bitte wählen Sie Scandateien im Format %1.</translation>
    </message>
    <message>
        <source>%1 or %2</source>
        <translation>%1 oder %2</translation>
    </message>
    <message>
        <source>Scanning input files ...</source>
        <translation>Eingabedateien werden gelesen ...</translation>
    </message>
    <message>
        <source>Computation interrupted!</source>
        <translation>Berechnung abgebrochen!</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Computation successful!</source>
        <translation>Berechnung erfolgreich!</translation>
    </message>
    <message>
        <source>Could not write the layout log file!

The tiles cannot be placed without it.
Please choose an output folder you may write to!</source>
        <translation>Die Layout-Protokolldatei konnte nicht geschrieben werden!

Ohne sie lassen sich die Kacheln nicht platzieren.
Bitte wählen Sie einen Ausgabeordner, in den Sie schreiben dürfen!</translation>
    </message>
    <message>
        <source>Could not read the scans!

The scan files may be damaged or incomplete.</source>
        <translation>Die Scans konnten nicht gelesen werden!

Die Scan-Dateien sind möglicherweise beschädigt oder unvollständig.</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>The layout is complete, but its overview pictures could not all be written:
%1</source>
        <translation>Das Layout ist vollständig, aber seine Übersichtsbilder konnten nicht alle geschrieben werden:
%1</translation>
    </message>
    <message>
        <source>All supported</source>
        <translation>Alle unterstützten Dateien</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Tiles written: %1
Folder: %2</source>
        <translation>Geschriebene Kacheln: %1
Ordner: %2</translation>
    </message>
    <message>
        <source>The layout was written, but not every checked scan is in it whole:</source>
        <translation>Das Layout wurde geschrieben, aber nicht jeder ausgewählte Scan ist vollständig darin enthalten:</translation>
    </message>
    <message>
        <source>The output folder could not be created:
%1

Please choose another folder!</source>
        <translation>Der Ausgabeordner konnte nicht angelegt werden:
%1

Bitte wählen Sie einen anderen Ordner!</translation>
    </message>
    <message>
        <source>The output folder cannot be written to:
%1

Please choose another folder!</source>
        <translation>In den Ausgabeordner kann nicht geschrieben werden:
%1

Bitte wählen Sie einen anderen Ordner!</translation>
    </message>
    <message>
        <source>Loading Scan %1 of %2</source>
        <translation>Lade Scan %1 von %2</translation>
    </message>
    <message>
        <source>Preprocessing Tiles</source>
        <translation>Bereite Kacheln vor</translation>
    </message>
    <message>
        <source>Write Images</source>
        <translation>Schreibe Bilder</translation>
    </message>
    <message>
        <source>Write Thumbnail</source>
        <translation>Schreibe Übersichtsbild</translation>
    </message>
    <message>
        <source>Write Log File</source>
        <translation>Schreibe Protokolldatei</translation>
    </message>
    <message>
        <source>Clean</source>
        <translation>Räume auf</translation>
    </message>
    <message>
        <source>… and %1 more</source>
        <translation>… und %1 weitere</translation>
    </message>
    <message>
        <source>The scan files</source>
        <translation>Die Scan-Dateien</translation>
    </message>
    <message>
        <source>could not be read and was left out</source>
        <translation>konnte nicht gelesen werden und wurde ausgelassen</translation>
    </message>
    <message>
        <source>Tile images of %1 pixels a side exceed the limit of %2!

An image resolution of %3 mm and tiles of %4 m give them.
Please choose a coarser resolution or smaller tiles.</source>
        <translation>Kachelbilder mit %1 Pixeln Kantenlänge überschreiten die Grenze von %2!

Sie entstehen aus einer Bildauflösung von %3 mm und Kacheln von %4 m.
Bitte wählen Sie eine gröbere Auflösung oder kleinere Kacheln.</translation>
    </message>
    <message>
        <source>(Modules &gt; Layout Preferences)</source>
        <translation>(Module &gt; Layout-Einstellungen)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keiner</translation>
    </message>
    <message>
        <source>Density</source>
        <translation>Dichte</translation>
    </message>
    <message>
        <source>Intensity</source>
        <translation>Intensität</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>None of the chosen scans holds intensity or colour values for this layer!

Please choose the density layer or scans that carry them.</source>
        <translation>Keiner der gewählten Scans enthält Intensitäts- oder Farbwerte für diese Ebene!

Bitte wählen Sie die Dichte-Ebene oder Scans, die diese Werte enthalten.</translation>
    </message>
    <message>
        <source>Please set two facade points at least 1 cm apart!</source>
        <translation>Bitte zwei Fassadenpunkte mit mindestens 1 cm Abstand angeben!</translation>
    </message>
    <message>
        <source>Please set a valid azimuth!</source>
        <translation>Bitte einen gültigen Azimut angeben!</translation>
    </message>
    <message>
        <source>Could not write the layout into its output folder!

Nothing in the folder was changed; an older layout of the same name is still there.</source>
        <translation>Das Layout konnte nicht in seinen Ausgabeordner geschrieben werden!

Im Ordner wurde nichts verändert; ein älteres Layout gleichen Namens ist noch da.</translation>
    </message>
    <message>
        <source>Another run is writing a layout of this name into the output folder!

Nothing was changed. Please wait until it has finished, or choose another name.</source>
        <translation>Ein anderer Lauf schreibt gerade ein Layout dieses Namens in den Ausgabeordner!

Es wurde nichts verändert. Bitte warten Sie, bis er fertig ist, oder wählen Sie einen anderen Namen.</translation>
    </message>
    <message>
        <source>Compressed LAS files (LAZ) are not read; decompress them to LAS first.</source>
        <translation>Komprimierte LAS-Dateien (LAZ) werden nicht gelesen; entpacken Sie sie zuerst zu LAS.</translation>
    </message>
    <message>
        <source>No PDF</source>
        <translation>Kein PDF</translation>
    </message>
    <message>
        <source>PDF %1 landscape</source>
        <translation>PDF %1 quer</translation>
    </message>
    <message>
        <source>PDF %1 portrait</source>
        <translation>PDF %1 hoch</translation>
    </message>
    <message>
        <source>The coordinate system cannot be used: %1</source>
        <translation>Das Koordinatensystem kann nicht verwendet werden: %1</translation>
    </message>
    <message>
        <source>Preview stopped.</source>
        <translation>Vorschau angehalten.</translation>
    </message>
    <message>
        <source>Check scans to see the site.</source>
        <translation>Wählen Sie Scans, um das Gelände zu sehen.</translation>
    </message>
    <message>
        <source>in %1</source>
        <translation>in %1</translation>
    </message>
    <message>
        <source>Save Layout As</source>
        <translation>Layout speichern unter</translation>
    </message>
    <message>
        <source>Layout log (*.log)</source>
        <translation>Layout-Protokoll (*.log)</translation>
    </message>
    <message>
        <source>The layout's file name may hold letters such as ß and ü, but no characters beyond Latin-1:
%1

Please choose another name!</source>
        <translation>Der Dateiname des Layouts darf Buchstaben wie ß und ü enthalten, aber keine Zeichen außerhalb von Latin-1:
%1

Bitte wählen Sie einen anderen Namen!</translation>
    </message>
    <message>
        <source>Clipping Planes: "%1" is not a number of metres for %2!</source>
        <translation>Schnittebenen: „%1“ ist keine Meterangabe für %2!</translation>
    </message>
    <message>
        <source>Clipping Planes: %1 (%2 m) must lie below %3 (%4 m), or the layout holds nothing!</source>
        <translation>Schnittebenen: %1 (%2 m) muss unter %3 (%4 m) liegen, sonst enthält das Layout nichts!</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Computation interrupted: not enough memory!

Please choose a coarser Image Resolution or a smaller Scan Radius
(Modules &gt; Layout Preferences).</source>
        <translation>Berechnung abgebrochen: nicht genug Speicher!

Bitte wählen Sie eine gröbere Bildauflösung oder einen kleineren Scanradius
(Module &gt; Layout-Einstellungen).</translation>
    </message>
    <message>
        <source>Not enough data between the clipping planes!
Widen the clipping planes or use more scans!</source>
        <translation>Nicht genug Daten zwischen den Schnittebenen!
Weiten Sie die Schnittebenen oder verwenden Sie mehr Scans!</translation>
    </message>
    <message>
        <source>The layout settings are invalid!

Please check the Scan Radius, the Image Size and the Image Resolution
(Modules &gt; Layout Preferences).</source>
        <translation>Die Layout-Einstellungen sind ungültig!

Bitte prüfen Sie Scanradius, Bildgröße und Bildauflösung
(Module &gt; Layout-Einstellungen).</translation>
    </message>
    <message>
        <source>None of the chosen scans could be read:</source>
        <translation>Keiner der gewählten Scans konnte gelesen werden:</translation>
    </message>
    <message>
        <source>No scan was found in these files; they are left out:
%1</source>
        <translation>In diesen Dateien wurde kein Scan gefunden; sie bleiben außen vor:
%1</translation>
    </message>
    <message>
        <source>No file manager could be started. The folder is:</source>
        <translation>Es ließ sich kein Dateimanager starten. Der Ordner ist:</translation>
    </message>
    <message>
        <source>The partial raw tiles cannot be merged!

Every shard of the layout must be there once, complete and made by this version with the same options and scans.</source>
        <translation>Die Teil-Rohkacheln lassen sich nicht zusammenführen!

Jeder Teil (Shard) des Layouts muss genau einmal und vollständig vorliegen und von dieser Version mit denselben Optionen und Scans erstellt sein.</translation>
    </message>
</context>
<context>
    <name>LayoutForm</name>
    <message>
        <source>Layout Creator</source>
        <translation>Layout-Erstellung</translation>
    </message>
    <message>
        <source>Step 1</source>
        <translation>Schritt 1</translation>
    </message>
    <message>
        <source>Select the Scan Workspace</source>
        <translation>Scan-Arbeitsbereich wählen</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Step 2</source>
        <translation>Schritt 2</translation>
    </message>
    <message>
        <source>Select View</source>
        <translation>Ansicht wählen</translation>
    </message>
    <message>
        <source>Top View x,y (Layout)</source>
        <translation>Draufsicht x,y (Grundriss)</translation>
    </message>
    <message>
        <source>Front View x,z</source>
        <translation>Vorderansicht x,z</translation>
    </message>
    <message>
        <source>Left View -y,z</source>
        <translation>Linke Ansicht -y,z</translation>
    </message>
    <message>
        <source>Back View -x, z</source>
        <translation>Rückansicht -x, z</translation>
    </message>
    <message>
        <source>Right View y, z</source>
        <translation>Rechte Ansicht y, z</translation>
    </message>
    <message>
        <source>Step 3</source>
        <translation>Schritt 3</translation>
    </message>
    <message>
        <source>Select Scan Positions</source>
        <translation>Scanpositionen wählen</translation>
    </message>
    <message>
        <source>Step 4</source>
        <translation>Schritt 4</translation>
    </message>
    <message>
        <source>Clipping Planes</source>
        <translation>Schnittebenen</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>[m]</source>
        <translation>[m]</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Unten</translation>
    </message>
    <message>
        <source>Step 5</source>
        <translation>Schritt 5</translation>
    </message>
    <message>
        <source>Layout/Section save as</source>
        <translation>Layout/Schnitt speichern als</translation>
    </message>
    <message>
        <source>Image File Type</source>
        <translation>Bilddateityp</translation>
    </message>
    <message>
        <source>Final Step</source>
        <translation>Letzter Schritt</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Batch PlugIn not available</source>
        <translation>Stapel-PlugIn nicht verfügbar</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Infobox</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Scan Radius:</source>
        <translation>Scanradius:</translation>
    </message>
    <message>
        <source>Tile Size:</source>
        <translation>Kachelgröße:</translation>
    </message>
    <message>
        <source>Image Resolution:</source>
        <translation>Bildauflösung:</translation>
    </message>
    <message>
        <source>[mm]</source>
        <translation>[mm]</translation>
    </message>
    <message>
        <source>PNG (*.png)</source>
        <translation>PNG (*.png)</translation>
    </message>
    <message>
        <source>JPEG (*.jpg)</source>
        <translation>JPEG (*.jpg)</translation>
    </message>
    <message>
        <source>Tiff (*.tif)</source>
        <translation>TIFF (*.tif)</translation>
    </message>
    <message>
        <source>Add to Batch List</source>
        <translation>Zur Stapelliste</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Vorne</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Hinten</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Check every scan</source>
        <translation>Alle Scans auswählen</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Uncheck every scan</source>
        <translation>Keinen Scan auswählen</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Print Scale</source>
        <translation>Maßstab</translation>
    </message>
    <message>
        <source>Layer</source>
        <translation>Ebene</translation>
    </message>
    <message>
        <source>X [m]</source>
        <translation>X [m]</translation>
    </message>
    <message>
        <source>Y [m]</source>
        <translation>Y [m]</translation>
    </message>
    <message>
        <source>P1 (left)</source>
        <translation>P1 (links)</translation>
    </message>
    <message>
        <source>P2 (right)</source>
        <translation>P2 (rechts)</translation>
    </message>
    <message>
        <source>Azimuth</source>
        <translation>Azimut</translation>
    </message>
    <message>
        <source>[°]</source>
        <translation>[°]</translation>
    </message>
    <message>
        <source>Facade from two points</source>
        <translation>Fassade aus zwei Punkten</translation>
    </message>
    <message>
        <source>A DXF drawing beside the layout: the tiles' frames and names, the scan positions and the outline</source>
        <translation>Eine DXF-Zeichnung neben dem Layout: Rahmen und Namen der Kacheln, die Scanpositionen und der Umriss</translation>
    </message>
    <message>
        <source>DXF</source>
        <translation>DXF</translation>
    </message>
    <message>
        <source>A PDF of the layout at the print scale, on as many sheets of this paper as it needs</source>
        <translation>Ein PDF des Layouts im Druckmaßstab, auf so vielen Blättern dieses Papiers wie nötig</translation>
    </message>
    <message>
        <source>The coordinate system of a plan's project coordinates (EPSG code of a projected system in metres); empty: none</source>
        <translation>Das Koordinatensystem der Projektkoordinaten eines Grundrisses (EPSG-Code eines projizierten Systems in Metern); leer: keines</translation>
    </message>
    <message>
        <source>CRS: EPSG:…</source>
        <translation>KBS: EPSG:…</translation>
    </message>
</context>
<context>
    <name>LayoutPrefForm</name>
    <message>
        <source>Layout Preferences</source>
        <translation>Layout-Einstellungen</translation>
    </message>
    <message>
        <source>Layout Geometry Settings</source>
        <translation>Layout-Geometrie</translation>
    </message>
    <message>
        <source>Image Resolution:</source>
        <translation>Bildauflösung:</translation>
    </message>
    <message>
        <source>Scan Radius:</source>
        <translation>Scanradius:</translation>
    </message>
    <message>
        <source>Image Size:</source>
        <translation>Bildgröße:</translation>
    </message>
    <message>
        <source>Layout Color Settings</source>
        <translation>Layout-Farbe</translation>
    </message>
    <message>
        <source>Invert Color</source>
        <translation>Farben umkehren</translation>
    </message>
    <message>
        <source>Overview Settings</source>
        <translation>Übersicht</translation>
    </message>
    <message>
        <source>Grid on/off</source>
        <translation>Gitter ein/aus</translation>
    </message>
    <message>
        <source>R</source>
        <translation>R</translation>
    </message>
    <message>
        <source>G</source>
        <translation>G</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>Grid Color</source>
        <translation>Gitterfarbe</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>Text Color</source>
        <translation>Textfarbe</translation>
    </message>
    <message>
        <source>Used Scan Color</source>
        <translation>Benutzte Scans</translation>
    </message>
    <message>
        <source>Unused Scan Color</source>
        <translation>Unbenutzte Scans</translation>
    </message>
    <message>
        <source>Standard Values</source>
        <translation>Standardwerte</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>2 mm</source>
        <translation>2 mm</translation>
    </message>
    <message>
        <source>5 mm</source>
        <translation>5 mm</translation>
    </message>
    <message>
        <source>10 mm</source>
        <translation>10 mm</translation>
    </message>
    <message>
        <source>20 mm</source>
        <translation>20 mm</translation>
    </message>
    <message>
        <source>50 mm</source>
        <translation>50 mm</translation>
    </message>
    <message>
        <source>100 mm</source>
        <translation>100 mm</translation>
    </message>
    <message>
        <source>5 m</source>
        <translation>5 m</translation>
    </message>
    <message>
        <source>10 m</source>
        <translation>10 m</translation>
    </message>
    <message>
        <source>15 m</source>
        <translation>15 m</translation>
    </message>
    <message>
        <source>20 m</source>
        <translation>20 m</translation>
    </message>
    <message>
        <source>25 m</source>
        <translation>25 m</translation>
    </message>
    <message>
        <source>30 m</source>
        <translation>30 m</translation>
    </message>
    <message>
        <source>40 m</source>
        <translation>40 m</translation>
    </message>
    <message>
        <source>50 m</source>
        <translation>50 m</translation>
    </message>
    <message>
        <source>100 m</source>
        <translation>100 m</translation>
    </message>
    <message>
        <source>200 m</source>
        <translation>200 m</translation>
    </message>
    <message>
        <source>400 m</source>
        <translation>400 m</translation>
    </message>
    <message>
        <source>Image Size: tiles are cut in whole multiples of %1 m; %2 m is not one!</source>
        <translation>Bildgröße: Kacheln werden in ganzen Vielfachen von %1 m geschnitten; %2 m ist keines!</translation>
    </message>
    <message>
        <source>Image Resolution: %1</source>
        <translation>Bildauflösung: %1</translation>
    </message>
    <message>
        <source>Image Resolution: %1 mm cannot make a layout; it must be above 0 and at most %2 mm!</source>
        <translation>Bildauflösung: Mit %1 mm lässt sich kein Layout erstellen; sie muss über 0 und höchstens %2 mm betragen!</translation>
    </message>
    <message>
        <source>Scan Radius: %1 m cannot make a layout; it must be above 0 m!</source>
        <translation>Scanradius: Mit %1 m lässt sich kein Layout erstellen; er muss über 0 m betragen!</translation>
    </message>
    <message>
        <source>Line %1 of %2: %3</source>
        <translation>Zeile %1 von %2: %3</translation>
    </message>
    <message>
        <source>Four whole numbers from 0 to 255 are needed: red, green, blue and alpha.</source>
        <translation>Vier ganze Zahlen von 0 bis 255 sind nötig: Rot, Grün, Blau und Alpha.</translation>
    </message>
    <message>
        <source>A whole number is needed.</source>
        <translation>Eine ganze Zahl ist nötig.</translation>
    </message>
    <message>
        <source>0 (off) or 1 (on) is needed.</source>
        <translation>0 (aus) oder 1 (ein) ist nötig.</translation>
    </message>
    <message>
        <source>A number with a decimal point is needed, such as 0.02.</source>
        <translation>Eine Zahl mit Dezimalpunkt ist nötig, etwa 0.02.</translation>
    </message>
    <message>
        <source>The line is left out.</source>
        <translation>Die Zeile wird nicht verwendet.</translation>
    </message>
    <message>
        <source>A number beyond them is taken as 0 or 255.</source>
        <translation>Eine Zahl außerhalb davon wird als 0 oder 255 genommen.</translation>
    </message>
</context>
<context>
    <name>MainWindowForm</name>
    <message>
        <source>Orthaven</source>
        <translation>Orthaven</translation>
    </message>
    <message>
        <source>Plugin ToolBar</source>
        <translation>Plugin-Werkzeugleiste</translation>
    </message>
    <message>
        <source>Layout Generator</source>
        <translation>Layout-Generator</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Englisch</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Französisch</translation>
    </message>
    <message>
        <source>Windows XP</source>
        <translation>Windows XP</translation>
    </message>
    <message>
        <source>Windows Vista/W7</source>
        <translation>Windows Vista/W7</translation>
    </message>
    <message>
        <source>Plastic Look</source>
        <translation>Plastik-Optik</translation>
    </message>
    <message>
        <source>Clean Look</source>
        <translation>Klare Optik</translation>
    </message>
    <message>
        <source>Motif</source>
        <translation>Motif</translation>
    </message>
    <message>
        <source>Open Layout File</source>
        <translation>Layout-Datei öffnen</translation>
    </message>
    <message>
        <source>Open Layout</source>
        <translation>Layout öffnen</translation>
    </message>
    <message>
        <source>Layout Wizard</source>
        <translation>Layout-Assistent</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Modules</source>
        <translation>&amp;Module</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Install SketchUp Scripts</source>
        <translation>SketchUp-Skripte &amp;installieren</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Layout &amp;Creator</source>
        <translation>&amp;Layout-Erstellung</translation>
    </message>
    <message>
        <source>Layout &amp;Preferences</source>
        <translation>Layout-&amp;Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Batch Processing</source>
        <translation>&amp;Stapelverarbeitung</translation>
    </message>
    <message>
        <source>P&amp;DF Generator</source>
        <translation>P&amp;DF-Generator</translation>
    </message>
    <message>
        <source>Layout &amp;Viewer</source>
        <translation>Layout-&amp;Betrachter</translation>
    </message>
    <message>
        <source>&amp;Check for Updates</source>
        <translation>Nach &amp;Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
</context>
<context>
    <name>NumberText</name>
    <message>
        <source>C</source>
        <comment>the locale of the language of this translation, e.g. de_DE</comment>
        <translation>de_DE</translation>
    </message>
</context>
<context>
    <name>OverviewSheet</name>
    <message>
        <source>Orthaven – orthographic layouts from laser scans</source>
        <translation>Orthaven – orthografische Layouts aus Laserscans</translation>
    </message>
    <message>
        <source>List of unused scans</source>
        <translation>Liste der nicht verwendeten Scans</translation>
    </message>
    <message>
        <source>Layout: %1</source>
        <translation>Layout: %1</translation>
    </message>
    <message>
        <source>View: %1</source>
        <translation>Ansicht: %1</translation>
    </message>
    <message>
        <source>Clipping planes: %1 m to %2 m (%3)</source>
        <translation>Schnittebenen: %1 m bis %2 m (%3)</translation>
    </message>
    <message>
        <source>Resolution: %1 m per pixel</source>
        <translation>Auflösung: %1 m pro Pixel</translation>
    </message>
    <message>
        <source>Tile size: %1 m</source>
        <translation>Kachelgröße: %1 m</translation>
    </message>
    <message>
        <source>Layer: %1</source>
        <translation>Ebene: %1</translation>
    </message>
    <message>
        <source>density</source>
        <translation>Dichte</translation>
    </message>
    <message>
        <source>intensity</source>
        <translation>Intensität</translation>
    </message>
    <message>
        <source>colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Scans used: %1 of %2</source>
        <translation>Verwendete Scans: %1 von %2</translation>
    </message>
    <message>
        <source>Print scale of the tiles: 1:%1</source>
        <translation>Druckmaßstab der Kacheln: 1:%1</translation>
    </message>
    <message>
        <source>Date: %1</source>
        <translation>Datum: %1</translation>
    </message>
    <message>
        <source>Azimuth: %1°</source>
        <translation>Azimut: %1°</translation>
    </message>
</context>
<context>
    <name>PrintPdf</name>
    <message>
        <source>Printed at 1:%1 on %2</source>
        <translation>Gedruckt im Maßstab 1:%1 auf %2</translation>
    </message>
    <message>
        <source>Sheet %1 of %2: column %3 of %4, row %5 of %6</source>
        <translation>Blatt %1 von %2: Spalte %3 von %4, Zeile %5 von %6</translation>
    </message>
</context>
<context>
    <name>ProgressForm</name>
    <message>
        <source>Progress ...</source>
        <translation>Fortschritt ...</translation>
    </message>
    <message>
        <source>please wait</source>
        <translation>bitte warten</translation>
    </message>
</context>
<context>
    <name>ScanNote</name>
    <message>
        <source>Scan %1: skipped %2 points whose coordinates are not finite</source>
        <translation>Scan %1: %2 Punkte mit nicht endlichen Koordinaten übersprungen</translation>
    </message>
    <message>
        <source>FARO scan %1: %2 columns were not delivered by the library</source>
        <translation>FARO-Scan %1: %2 Spalten hat die Bibliothek nicht geliefert</translation>
    </message>
    <message>
        <source>Scan %1: skipped %2 columns that lie outside the file or are cut off</source>
        <translation>Scan %1: %2 Spalten übersprungen, die außerhalb der Datei liegen oder abgeschnitten sind</translation>
    </message>
    <message>
        <source>PTX scan %1 in %2 ends after %3 of %4 point lines</source>
        <translation>PTX-Scan %1 in %2 endet nach %3 von %4 Punktzeilen</translation>
    </message>
    <message>
        <source>Scan %1: skipped %2 malformed point lines</source>
        <translation>Scan %1: %2 fehlerhafte Punktzeilen übersprungen</translation>
    </message>
    <message>
        <source>the scan file %1 is missing</source>
        <translation>die Scandatei %1 fehlt</translation>
    </message>
    <message>
        <source>the scan library cannot open %1</source>
        <translation>die Scan-Bibliothek kann %1 nicht öffnen</translation>
    </message>
    <message>
        <source>Riegl scan %1: the scan library reported no more data after %2 points, before the end of the scan</source>
        <translation>Riegl-Scan %1: die Scan-Bibliothek meldete nach %2 Punkten keine weiteren Daten, vor dem Ende des Scans</translation>
    </message>
    <message>
        <source>Riegl stream delivered nothing %1 times in a row; the scan ends here</source>
        <translation>Der Riegl-Datenstrom lieferte %1-mal hintereinander nichts; der Scan endet hier</translation>
    </message>
    <message>
        <source>the scan file %1 has changed since it was listed</source>
        <translation>die Scandatei %1 hat sich seit dem Einlesen geändert</translation>
    </message>
</context>
<context>
    <name>SketchupPluginForm</name>
    <message>
        <source>SketchUp Plugin Installation Dialog</source>
        <translation>Installation des SketchUp-Plugins</translation>
    </message>
    <message>
        <source>SketchUp Plugin Installation</source>
        <translation>SketchUp-Plugin installieren</translation>
    </message>
    <message>
        <source>Please select the Google SketchUp folder you want to install the plugin ...</source>
        <translation>Bitte wählen Sie den Google-SketchUp-Ordner, in den das Plugin installiert werden soll ...</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>For instance ... C:/Program Files/Google/Google SketchUp 7</source>
        <translation>Zum Beispiel ... C:/Program Files/Google/Google SketchUp 7</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Installieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Sketchup Folder not found or permission denied</source>
        <translation>SketchUp-Ordner nicht gefunden oder Zugriff verweigert</translation>
    </message>
    <message>
        <source>Select the Google SketchUp Folder</source>
        <translation>Google-SketchUp-Ordner wählen</translation>
    </message>
    <message>
        <source>Plugin installed successfully</source>
        <translation>Plugin erfolgreich installiert</translation>
    </message>
</context>
<context>
    <name>UpdaterForm</name>
    <message>
        <source>Orthaven Updater</source>
        <translation>Orthaven-Aktualisierung</translation>
    </message>
    <message>
        <source>Update check</source>
        <translation>Suche nach Aktualisierungen</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>There is already an Orthaven instance running!</source>
        <translation>Orthaven läuft bereits!</translation>
    </message>
</context>
<context>
    <name>orthaven::BatchLayout</name>
    <message>
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Hinten</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Vorne</translation>
    </message>
    <message>
        <source>Layout output file already in batch list!</source>
        <translation>Diese Layout-Ausgabedatei ist bereits in der Stapelliste!</translation>
    </message>
    <message>
        <source>Multiple Input Files</source>
        <translation>Mehrere Eingabedateien</translation>
    </message>
    <message>
        <source>Some jobs of %1 could not be taken over:
%2</source>
        <translation>Einige Aufträge aus %1 konnten nicht übernommen werden:
%2</translation>
    </message>
    <message>
        <source>Permission denied while batch processing is running!</source>
        <translation>Nicht möglich, solange die Stapelverarbeitung läuft!</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>Run &amp;All</source>
        <translation>&amp;Alle ausführen</translation>
    </message>
    <message>
        <source>Stopping ...</source>
        <translation>Wird gestoppt ...</translation>
    </message>
    <message>
        <source>The batch list could not be saved to %1!</source>
        <translation>Die Stapelliste konnte nicht in %1 gespeichert werden!</translation>
    </message>
    <message>
        <source>Job %1 of %2: %3</source>
        <translation>Auftrag %1 von %2: %3</translation>
    </message>
    <message>
        <source>Layouts written: %1 of %2</source>
        <translation>Geschriebene Layouts: %1 von %2</translation>
    </message>
    <message>
        <source>No reader for %1</source>
        <translation>Kein Leseprogramm für %1</translation>
    </message>
    <message>
        <source>The scan files could not be read:
%1</source>
        <translation>Die Scandateien konnten nicht gelesen werden:
%1</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Tiles written: %1</source>
        <translation>Geschriebene Kacheln: %1</translation>
    </message>
    <message>
        <source>Tiles written: %1, not every scan whole</source>
        <translation>Geschriebene Kacheln: %1, nicht jeder Scan vollständig</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Gestoppt</translation>
    </message>
    <message>
        <source>Not run</source>
        <translation>Nicht ausgeführt</translation>
    </message>
</context>
<context>
    <name>orthaven::DiagnosticConsole</name>
    <message>
        <source>Orthaven Console</source>
        <translation>Orthaven-Konsole</translation>
    </message>
</context>
<context>
    <name>orthaven::LayoutPrefInfo</name>
    <message>
        <source>The preferences could not be saved to %1!</source>
        <translation>Die Einstellungen konnten nicht in %1 gespeichert werden!</translation>
    </message>
    <message>
        <source>%1 %2: "%3"</source>
        <translation>%1 %2: „%3“</translation>
    </message>
    <message>
        <source>Colour values are whole numbers from 0 to 255; these are not:</source>
        <translation>Farbwerte sind ganze Zahlen von 0 bis 255; diese sind es nicht:</translation>
    </message>
    <message>
        <source>Grid Color</source>
        <translation>Gitterfarbe</translation>
    </message>
    <message>
        <source>Text Color</source>
        <translation>Textfarbe</translation>
    </message>
    <message>
        <source>Used Scan Color</source>
        <translation>Benutzte Scans</translation>
    </message>
    <message>
        <source>Unused Scan Color</source>
        <translation>Unbenutzte Scans</translation>
    </message>
</context>
<context>
    <name>orthaven::MainWindow</name>
    <message>
        <source>&amp;Layout PlugIn</source>
        <translation>&amp;Layout-PlugIn</translation>
    </message>
    <message>
        <source>Orthaven %1 (revision %2): orthographic layouts, sections and elevations from terrestrial laser scans.</source>
        <translation>Orthaven %1 (Revision %2): orthografische Grundrisse, Schnitte und Ansichten aus terrestrischen Laserscans.</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>A layout is being computed.

Stop it and quit? Nothing of the unfinished layout is kept.</source>
        <translation>Ein Layout wird gerade berechnet.

Berechnung stoppen und beenden? Vom unfertigen Layout bleibt nichts erhalten.</translation>
    </message>
    <message>
        <source>Stop and Quit</source>
        <translation>Stoppen und beenden</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>These lines of the preferences could not be used as they stand:</source>
        <translation>Diese Zeilen der Einstellungen konnten so nicht verwendet werden:</translation>
    </message>
    <message>
        <source>Please set them again under Modules &gt; Layout Preferences.</source>
        <translation>Bitte stellen Sie sie unter Module &gt; Layout-Einstellungen neu ein.</translation>
    </message>
</context>
<context>
    <name>orthaven::SitePreviewPanel</name>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Points per centimetre along the view's depth axis. Drag the two clipping planes; near a level they snap to it.</source>
        <translation>Punkte je Zentimeter entlang der Tiefenachse der Ansicht. Ziehen Sie die beiden Schnittebenen; nahe einer Ebene rasten sie dort ein.</translation>
    </message>
    <message>
        <source>The site from above with the layout's tiles and planes. Click two points to make the wall between them a facade.</source>
        <translation>Das Gelände von oben mit den Kacheln und Schnittebenen des Layouts. Klicken Sie zwei Punkte an, um die Wand dazwischen zur Fassade zu machen.</translation>
    </message>
    <message>
        <source>Level [m]</source>
        <translation>Höhe [m]</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>Punkte</translation>
    </message>
    <message>
        <source>Looking at the scans ...</source>
        <translation>Die Scans werden angesehen ...</translation>
    </message>
    <message>
        <source>Choose scans to see the site.</source>
        <translation>Wählen Sie Scans, um das Gelände zu sehen.</translation>
    </message>
    <message>
        <source>Levels: %1, from %2 million points</source>
        <translation>Ebenen: %1, aus %2 Millionen Punkten</translation>
    </message>
    <message>
        <source>Not every checked scan is in it whole:</source>
        <translation>Nicht jeder gewählte Scan ist vollständig enthalten:</translation>
    </message>
    <message>
        <source>floor</source>
        <translation>Boden</translation>
    </message>
    <message>
        <source>ceiling</source>
        <translation>Decke</translation>
    </message>
    <message>
        <source>Storey</source>
        <translation>Geschoss</translation>
    </message>
    <message>
        <source>Planes from just above this level to just below the next ceiling above it</source>
        <translation>Schnittebenen von knapp über dieser Höhe bis knapp unter die nächste Decke darüber</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>Grundriss</translation>
    </message>
    <message>
        <source>Planes from just above this level to the plan's cut 1 m above it</source>
        <translation>Schnittebenen von knapp über dieser Höhe bis zum Grundrissschnitt 1 m darüber</translation>
    </message>
</context>
<context>
    <name>orthaven::Updater</name>
    <message>
        <source>Could not check for update due to connection error!
You can download the newest version at
</source>
        <translation>Wegen eines Verbindungsfehlers konnte nicht nach Aktualisierungen gesucht werden!
Die neueste Version finden Sie unter
</translation>
    </message>
    <message>
        <source>Your Orthaven Version is up to date!</source>
        <translation>Ihre Orthaven-Version ist auf dem neuesten Stand!</translation>
    </message>
    <message>
        <source>&lt;font color='red'&gt;New Version %1 Revision %2 available!&lt;/font&gt;</source>
        <translation>&lt;font color='red'&gt;Neue Version %1 Revision %2 verfügbar!&lt;/font&gt;</translation>
    </message>
    <message>
        <source>New version has been downloaded!</source>
        <translation>Die neue Version wurde heruntergeladen!</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Installieren</translation>
    </message>
    <message>
        <source>Orthaven will be closed automatically via installation!</source>
        <translation>Orthaven wird durch die Installation automatisch beendet!</translation>
    </message>
    <message>
        <source>We are sorry. Please download the new Orthaven version from
</source>
        <translation>Das tut uns leid. Bitte laden Sie die neue Orthaven-Version herunter von
</translation>
    </message>
    <message>
        <source>The downloaded package is damaged and has been deleted.
You can download the newest version at
</source>
        <translation>Das heruntergeladene Paket ist beschädigt und wurde gelöscht.
Die neueste Version finden Sie unter
</translation>
    </message>
</context>
</TS>