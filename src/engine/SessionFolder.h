#pragma once
// The temporary folder of one layout run: a session folder inside the work folder the
// caller names, made at the start of a run and removed with everything in it at its end.

#include <QLockFile>
#include <QString>

#include <memory>

namespace orthaven {

class SessionFolder
{
public:
    // workFolder: where session folders are made (created when missing).
    explicit SessionFolder(QString workFolder);
    ~SessionFolder(); // cleans up a session still open
    SessionFolder(const SessionFolder&) = delete;
    SessionFolder& operator=(const SessionFolder&) = delete;

    // The work folder followed by "/", and by sessionName + "/" while a session exists.
    QString tempPath() const;
    QString sessionName() const { return session; }
    bool hasSession() const { return !session.isEmpty(); }

    // Creates a session folder named after the local time of day ("hhmmsszzz") inside the
    // work folder, with this process's lock as its first file, held until the session
    // ends (see SessionFolders.h). A folder of that name that already exists is never reused (it
    // could hold another run's tiles): the name of a later millisecond is taken instead.
    // False when no folder could be created; there is then no session.
    bool createSession();
    // Prints "Clean Files" and the folder, deletes every file in the current folder (the
    // lock last, by giving it up), removes the session folder and ends the session.
    void cleanFiles();

private:
    QString base;    // the work folder, with "/"
    QString session; // empty: no session
    std::unique_ptr<QLockFile> owner;
};

} // namespace orthaven
