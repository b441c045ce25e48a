#pragma once
// Our stand-in's own FARO workspace format: a small text file (".fws") that lists the scans
// with their grid, pose and points file, plus keys that make chosen library calls fail.
// The format is described for users in the formats document.

#include "scan/faro/FaroComError.h"

#include <QString>

#include <map>
#include <vector>

namespace orthaven {

struct FaroWorkspaceScan
{
    QString name;
    int rows = 0;    // points per scan column
    int columns = 0; // scan columns
    double position[3] = {0, 0, 0};
    double axis[3] = {0, 0, 1};
    double angle = 0;        // radians
    QString pointsPath;      // absolute; the file is looked at when the scan is loaded
    int loadStatus = 0;      // "load-status": what loading the scan answers instead of 0
    bool nullObject = false; // "fail = object null"
    std::map<QString, HResult> failures; // "fail = <call> <negative hresult>", by call
};

class FaroWorkspaceFile
{
public:
    // The status values a workspace load answers besides 0.
    enum Status
    {
        Read = 0,
        CannotOpen = 1,    // missing, unreadable or a folder
        NotAWorkspace = 2, // first line is not "orthaven-fws 1"
        Malformed = 3,     // a line the format does not allow, or a value out of range
    };

    static constexpr int formatVersion = 1;
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;
    static constexpr int maxScans = 100000;
    static constexpr int maxGridSide = 1000000; // rows and columns each
    static constexpr int maxNameLength = 1000;

    // Reads and checks the workspace file; on failure the status and problem() say why
    // and the scans are empty.
    Status read(const QString& path);

    // "<path> line 7: rows must be a whole number from 0 to 1000000", or empty.
    QString problem() const { return problemText; }

    // Call names "fail" accepts in a scan block and before the first one.
    static bool isScanCall(const QString& call);
    static bool isWorkspaceCall(const QString& call);

    std::vector<FaroWorkspaceScan> scans;
    std::map<QString, HResult> failures; // workspace-level "fail" keys

private:
    Status fail(Status status, const QString& path, int line, const QString& text);

    QString problemText;
};

} // namespace orthaven
