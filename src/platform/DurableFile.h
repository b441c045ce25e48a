#pragma once
// Files that count as written only when every byte of them has reached the disk. A full
// disk often shows only at the last write or at the sync before the file is closed; a
// writer that does not look at those takes a cut-off file for a whole one. DurableFile
// checks every write, flushes and syncs the file, and only then gives it its name.
//
// For the tests, the environment variable ORTHAVEN_TEST_WRITE_FAULT makes writes of one
// kind of file fail as on a full disk: "tile:last" fails the last write of every tile,
// "log:sync" the sync of the log, "sheet:2" the second write of a sheet; several are
// separated by commas. The kinds are the labels the writers give their files.

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

namespace orthaven {

class DurableFile : public QIODevice
{
public:
    // path: the file's name once it is finished; until then the bytes go to a file beside
    // it. kind: a label of the file's kind ("tile", "log", …), for the fault seam.
    explicit DurableFile(QString path, QString kind = QStringLiteral("file"));
    ~DurableFile() override; // a file that was not finished is removed
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // WriteOnly, optionally with Text (line ends of the platform). False when the file
    // cannot be created; failure() says why.
    bool open(OpenMode mode) override;
    // Writes what is buffered, syncs the file to the disk, closes it and moves it to its
    // name, replacing a file there. False when any of it failed: the file at the name is
    // then as it was, and failure() holds the system's words for the cause ("No space left
    // on device").
    bool finish();
    // Why the file could not be written; empty while nothing failed.
    QString failure() const { return failed; }

    bool isSequential() const override { return false; }
    bool seek(qint64 position) override;
    qint64 size() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    // What the fault seam asks of this file.
    struct Fault
    {
        bool lastWrite = false;
        bool sync = false;
        int write = 0; // the write that fails, counted from 1; 0: none
    };

    bool flushBuffer(bool last);
    bool syncPart();
    bool fail(const QString& why);

    QString target;
    Fault fault;
    QFile part; // the file being written, beside the target
    QByteArray buffer;
    qint64 bufferStart = 0; // where buffer goes in the file
    int writes = 0;         // writes made to the file so far
    bool done = false;      // moved to its name
    QString failed;
};

// Writes bytes to path through a DurableFile (text: with the platform's line ends). False
// when the file was not written whole; failure then says why.
bool writeFileDurably(const QString& path, const QByteArray& bytes, const QString& kind,
                      bool text = false, QString* failure = nullptr);

// The system's words for a full disk, as the fault seam gives them.
QString diskFullText();

// Makes the entries of a folder (files created, renamed or removed in it) durable. True
// where the system has nothing to do for it.
bool syncFolder(const QString& folder, QString* failure = nullptr);

} // namespace orthaven
