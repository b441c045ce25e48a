#pragma once
// The folder a layout is written into, made ready before any scan is read: a missing
// folder is created, and one that cannot take a file is refused, so a run never reads
// every scan only to fail at its end.

#include <QString>
#include <QStringList>

namespace orthaven {

struct OutputFolder
{
    enum Outcome
    {
        Ready,
        CannotCreate, // missing, and it (or a folder above it) could not be made
        NotWritable,  // there, but no file can be written into it
    };
    Outcome outcome = Ready;
    QString folder;      // absolute, of the output file
    QStringList created; // the folders made here, innermost first
};

// Creates the folder of outputFile where it is missing and checks that a file can be
// written into it (a file is made there and removed again). Folders made for a refused
// folder are removed again.
OutputFolder prepareOutputFolder(const QString& outputFile);

// Removes the folders prepareOutputFolder made, innermost first, as far as they are empty
// (a run that wrote nothing leaves no trace).
void removeCreatedFolders(const QStringList& created);

} // namespace orthaven
