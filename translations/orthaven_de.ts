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
        <source>Plugin installed successful</source>
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