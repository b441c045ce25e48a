#include "scan/faro/FaroWorkspaceFile.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fast_float/fast_float.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace orthaven {

namespace {

const char* const scanCalls[] = {"load",        "unload", "rows", "columns", "position",
                                 "orientation", "object", "name", "points",  "polar"};
const char* const workspaceCalls[] = {"open", "count", "before-load"};

template <std::size_t N> bool listed(const char* const (&names)[N], const QString& call)
{
    for (const char* name : names) {
        if (call == QLatin1String(name))
            return true;
    }
    return false;
}

QStringList words(const QString& value)
{
    return value.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool parseInt(const QString& text, long long low, long long high, long long& value)
{
    const std::string s = text.toStdString();
    const char* begin = s.data();
    const char* const end = s.data() + s.size();
    if (begin < end && *begin == '+')
        ++begin;
    long long v = 0;
    const auto r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end || begin == end || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool parseDouble(const QString& text, double& value)
{
    const std::string s = text.toStdString();
    const char* const begin = s.data();
    const char* const end = s.data() + s.size();
    double v = 0;
    const auto r = fast_float::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end || begin == end || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool parseDoubles(const QString& value, double* out, int count)
{
    const QStringList parts = words(value);
    if (parts.size() != count)
        return false;
    for (int k = 0; k < count; ++k) {
        if (!parseDouble(parts[k], out[k]))
            return false;
    }
    return true;
}

// "0x80004005" (up to eight hex digits) or a decimal number in the 32-bit range.
bool parseHResult(const QString& text, HResult& value)
{
    if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X"))) {
        const std::string s = text.mid(2).toStdString();
        if (s.empty() || s.size() > 8)
            return false;
        std::uint32_t v = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size())
            return false;
        value = HResult(v);
        return true;
    }
    long long v = 0;
    if (!parseInt(text, INT32_MIN, INT32_MAX, v))
        return false;
    value = HResult(v);
    return true;
}

} // namespace

bool FaroWorkspaceFile::isScanCall(const QString& call)
{
    return listed(scanCalls, call);
}

bool FaroWorkspaceFile::isWorkspaceCall(const QString& call)
{
    return listed(workspaceCalls, call);
}

FaroWorkspaceFile::Status FaroWorkspaceFile::fail(Status status, const QString& path, int line,
                                                  const QString& text)
{
    scans.clear();
    failures.clear();
    problemText = line > 0 ? QStringLiteral("%1 line %2: %3").arg(path).arg(line).arg(text)
                           : QStringLiteral("%1: %2").arg(path, text);
    return status;
}

FaroWorkspaceFile::Status FaroWorkspaceFile::read(const QString& path)
{
    scans.clear();
    failures.clear();
    problemText.clear();

    QFile file(path);
    QString why;
    if (!openRegularFile(file, QIODevice::ReadOnly, &why))
        return fail(CannotOpen, path, 0, QStringLiteral("cannot open the workspace file: ") + why);
    if (file.size() > maxFileSize) {
        return fail(Malformed, path, 0,
                    QStringLiteral("a workspace file is at most %1 bytes").arg(maxFileSize));
    }
    const QByteArray bytes = file.read(maxFileSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxFileSize)
        return fail(CannotOpen, path, 0, QStringLiteral("cannot read the workspace file"));

    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    const QString magic = QStringLiteral("orthaven-fws");
    const QStringList first = words(lines.value(0).remove(QChar(0xFEFF)).trimmed());
    if (first.value(0) != magic)
        return fail(NotAWorkspace, path, 1, QStringLiteral("not an Orthaven FARO workspace"));
    if (first.size() != 2 || first[1] != QString::number(formatVersion)) {
        return fail(NotAWorkspace, path, 1,
                    QStringLiteral("workspace format version \"%1\" is not supported (only %2)")
                        .arg(first.mid(1).join(QLatin1Char(' ')))
                        .arg(formatVersion));
    }

    const QString folder = QFileInfo(path).absolutePath();
    bool inScan = false;
    int scanLine = 0;
    FaroWorkspaceScan scan;
    QSet<QString> keys;
    for (int n = 1; n < lines.size(); ++n) {
        const int lineNo = n + 1;
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line == QLatin1String("scan")) {
            if (inScan) {
                return fail(
                    Malformed, path, lineNo,
                    QStringLiteral("\"scan\" inside the scan block of line %1").arg(scanLine));
            }
            if (int(scans.size()) >= maxScans) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("a workspace holds at most %1 scans").arg(maxScans));
            }
            inScan = true;
            scanLine = lineNo;
            scan = FaroWorkspaceScan();
            keys.clear();
            continue;
        }
        if (line == QLatin1String("end")) {
            if (!inScan)
                return fail(Malformed, path, lineNo, QStringLiteral("\"end\" without \"scan\""));
            for (const char* key :
                 {"name", "rows", "columns", "position", "axis", "angle", "points"}) {
                if (!keys.contains(QLatin1String(key))) {
                    return fail(Malformed, path, lineNo,
                                QStringLiteral("the scan of line %1 has no \"%2\"")
                                    .arg(scanLine)
                                    .arg(QLatin1String(key)));
                }
            }
            scans.push_back(scan);
            inScan = false;
            continue;
        }

        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            return fail(Malformed, path, lineNo,
                        QStringLiteral("expected \"scan\", \"end\" or \"key = value\""));
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();

        if (key == QLatin1String("fail")) {
            const QStringList parts = words(value);
            const QString call = parts.value(0);
            const bool known = inScan ? isScanCall(call) : isWorkspaceCall(call);
            if (!known || parts.size() != 2) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("\"fail\" takes a call name and a result code; "
                                           "calls here: %1")
                                .arg(inScan ? QStringLiteral("load, unload, rows, columns, "
                                                             "position, orientation, object, "
                                                             "name, points, polar")
                                            : QStringLiteral("open, count, before-load")));
            }
            std::map<QString, HResult>& into = inScan ? scan.failures : failures;
            if (into.count(call) || (call == QLatin1String("object") && scan.nullObject)) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("a second \"fail\" for \"%1\"").arg(call));
            }
            if (inScan && call == QLatin1String("object") && parts[1] == QLatin1String("null")) {
                scan.nullObject = true;
                continue;
            }
            HResult code = 0;
            if (!parseHResult(parts[1], code) || code >= 0) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("\"%1\" is not a failure code (a negative 32-bit "
                                           "number such as 0x80004005)")
                                .arg(parts[1]));
            }
            into[call] = code;
            continue;
        }

        if (!inScan) {
            return fail(Malformed, path, lineNo,
                        QStringLiteral("\"%1\" belongs inside a scan block").arg(key));
        }
        if (keys.contains(key))
            return fail(Malformed, path, lineNo, QStringLiteral("a second \"%1\"").arg(key));
        keys.insert(key);

        long long whole = 0;
        if (key == QLatin1String("name")) {
            if (value.isEmpty() || value.size() > maxNameLength) {
                return fail(
                    Malformed, path, lineNo,
                    QStringLiteral("a scan name has 1 to %1 characters").arg(maxNameLength));
            }
            scan.name = value;
        } else if (key == QLatin1String("rows") || key == QLatin1String("columns")) {
            if (!parseInt(value, 0, maxGridSide, whole)) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("%1 must be a whole number from 0 to %2")
                                .arg(key)
                                .arg(maxGridSide));
            }
            (key == QLatin1String("rows") ? scan.rows : scan.columns) = int(whole);
        } else if (key == QLatin1String("position") || key == QLatin1String("axis")) {
            double* out = key == QLatin1String("position") ? scan.position : scan.axis;
            if (!parseDoubles(value, out, 3)) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("%1 must be three finite numbers").arg(key));
            }
        } else if (key == QLatin1String("angle")) {
            if (!parseDoubles(value, &scan.angle, 1)) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("angle must be one finite number (radians)"));
            }
        } else if (key == QLatin1String("points")) {
            if (value.isEmpty())
                return fail(Malformed, path, lineNo, QStringLiteral("points names no file"));
            scan.pointsPath = QDir::cleanPath(QDir(folder).filePath(value));
        } else if (key == QLatin1String("load-status")) {
            if (!parseInt(value, INT32_MIN, INT32_MAX, whole)) {
                return fail(Malformed, path, lineNo,
                            QStringLiteral("load-status must be a 32-bit whole number"));
            }
            scan.loadStatus = int(whole);
        } else {
            return fail(Malformed, path, lineNo, QStringLiteral("unknown key \"%1\"").arg(key));
        }
    }
    if (inScan) {
        return fail(Malformed, path, scanLine,
                    QStringLiteral("the scan block is not closed by \"end\""));
    }
    return Read;
}

} // namespace orthaven
