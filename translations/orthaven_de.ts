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
</context>
<context>
    <name>LayoutForm</name>
    <message>
        <source>Layout Creator</source>
        <translation>Layout-Erstellung</translation>
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
</context>
<context>
    <name>MainWindowForm</name>
    <message>
        <source>Orthaven</source>
        <translation>Orthaven</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Modules</source>
        <translation>Module</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Plugin ToolBar</source>
        <translation>Plugin-Werkzeugleiste</translation>
    </message>
    <message>
        <source>Install SketchUp Scripts</source>
        <translation>SketchUp-Skripte installieren</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Layout Generator</source>
        <translation>Layout-Generator</translation>
    </message>
    <message>
        <source>Layout Preferences</source>
        <translation>Layout-Einstellungen</translation>
    </message>
    <message>
        <source>Batch Processing</source>
        <translation>Stapelverarbeitung</translation>
    </message>
    <message>
        <source>PDF Generator</source>
        <translation>PDF-Generator</translation>
    </message>
    <message>
        <source>Layout Viewer</source>
        <translation>Layout-Betrachter</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Aktualisierungen suchen</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
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
</context>
<context>
    <name>main</name>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>There is already a Orthaven instance running!</source>
        <translation>Orthaven läuft bereits!</translation>
    </message>
    <message>
        <source>ERROR: Could not find Orthaven instance!</source>
        <translation>FEHLER: Keine laufende Orthaven-Instanz gefunden!</translation>
    </message>
    <message>
        <source>Please contact support@brandmoor.example</source>
        <translation>Bitte wenden Sie sich an support@brandmoor.example</translation>
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
        <source>Grid Color: Only values between 0 and 255 are possible!</source>
        <translation>Gitterfarbe: Nur Werte zwischen 0 und 255 sind möglich!</translation>
    </message>
    <message>
        <source>Text Color: Only values between 0 and 255 are possible!</source>
        <translation>Textfarbe: Nur Werte zwischen 0 und 255 sind möglich!</translation>
    </message>
    <message>
        <source>Used Scan Color: Only values between 0 and 255 are possible!</source>
        <translation>Farbe benutzter Scans: Nur Werte zwischen 0 und 255 sind möglich!</translation>
    </message>
    <message>
        <source>Unused Scan Color: Only values between 0 and 255 are possible!</source>
        <translation>Farbe unbenutzter Scans: Nur Werte zwischen 0 und 255 sind möglich!</translation>
    </message>
</context>
<context>
    <name>orthaven::MainWindow</name>
    <message>
        <source>&amp;Layout PlugIn</source>
        <translation>&amp;Layout-PlugIn</translation>
    </message>
    <message>
        <source>Orthaven 1.1 (revision 6): orthographic layouts, sections and elevations from terrestrial laser scans.</source>
        <translation>Orthaven 1.1 (Revision 6): orthografische Grundrisse, Schnitte und Ansichten aus terrestrischen Laserscans.</translation>
    </message>
</context>
</TS>