<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="de_DE">
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
    <name>orthaven::DiagnosticConsole</name>
    <message>
        <source>Orthaven Console</source>
        <translation>Orthaven-Konsole</translation>
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