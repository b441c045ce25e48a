#pragma once
// Per-user folders and files of the program. Every path is the application-data
// folder followed by a fixed suffix; callers rebuild them whenever they need one.

#include <QString>

namespace orthaven {

// The per-user application-data folder: the APPDATA environment variable when it is
// set (Windows always sets it; tests point it at a temporary folder), otherwise the
// platform's per-user data folder.
QString appDataFolder();

QString makerFolder();    // <appdata>/Brandmoor
QString productFolder();  // <appdata>/Brandmoor/Orthaven
QString tempFolder();     // <appdata>/Brandmoor/Orthaven/tmp
QString configFilePath(); // <appdata>/Brandmoor/Orthaven/orthaven.cfg
// The window's size, place and docks (an INI file of QSettings).
QString windowStatePath(); // <appdata>/Brandmoor/Orthaven/window.ini
// The batch list's jobs, a job file of orthaven-layout.
QString batchListPath(); // <appdata>/Brandmoor/Orthaven/batch-list.txt
// <appdata>/Brandmoor/Orthaven/orthaven.lock: held by the running window of this user
QString instanceLockPath();

} // namespace orthaven
