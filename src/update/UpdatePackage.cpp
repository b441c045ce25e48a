#include "update/UpdatePackage.h"

#include "diag/Diagnostics.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace orthaven {

namespace {

// 7-Zip's exit codes: 0 no error, 1 warnings only (the files were written), 2 and up
// errors.
constexpr int unpackerWarnings = 1;

// Runs the unpacker to its end; its standard output, or nothing when it failed. With
// warningsAccepted, an exit code of 1 counts as success.
std::optional<QByteArray> runUnpacker(const QString& unpacker, const QStringList& arguments,
                                      bool warningsAccepted = false)
{
    QProcess process;
    process.start(unpacker, arguments);
    if (!process.waitForStarted(-1))
        return std::nullopt;
    process.closeWriteChannel();
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    const int code = process.exitCode();
    if (code != 0 && !(warningsAccepted && code == unpackerWarnings))
        return std::nullopt;
    return process.readAllStandardOutput();
}

} // namespace

QString defaultUnpacker()
{
#ifdef Q_OS_WIN
    return QStringLiteral("7za.exe");
#else
    return QStringLiteral("7za");
#endif
}

bool matchesSha256(const QString& path, const QString& expectedHex)
{
    static const QRegularExpression digest(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!digest.match(expectedHex).hasMatch())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return false;
    return hash.result().toHex() == expectedHex.toLower().toLatin1();
}

std::optional<std::vector<PackageEntry>> listPackage(const QString& unpacker,
                                                     const QString& package)
{
    const std::optional<QByteArray> listing =
        runUnpacker(unpacker, {QStringLiteral("l"), QStringLiteral("-slt"), package});
    if (!listing)
        return std::nullopt;
    // The block above the dashed line describes the package itself; below it each entry
    // starts with its "Path = " line. A link shows as a Unix mode beginning with "l" at
    // the end of its "Attributes = " line.
    std::vector<PackageEntry> entries;
    bool inEntries = false;
    for (const QString& line : QString::fromLocal8Bit(*listing).split(QLatin1Char('\n'))) {
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1String("----------"))) {
            inEntries = true;
        } else if (!inEntries) {
            continue;
        } else if (line.startsWith(QLatin1String("Path = "))) {
            entries.push_back({line.mid(7), false});
            if (entries.back().path.endsWith(QLatin1Char('\r')))
                entries.back().path.chop(1);
        } else if (line.startsWith(QLatin1String("Attributes = ")) && !entries.empty()) {
            const QString mode = text.section(QLatin1Char(' '), -1);
            entries.back().isLink = mode.size() == 10 && mode.startsWith(QLatin1Char('l'));
        }
    }
    return entries;
}

bool staysInside(const PackageEntry& entry)
{
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    const QString& path = entry.path;
    if (entry.isLink || path.isEmpty() || path.startsWith(QLatin1Char('/')) ||
        path.startsWith(QLatin1Char('\\')) || drive.match(path).hasMatch())
        return false;
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    return !path.split(separators).contains(QLatin1String(".."));
}

bool unpackPackage(const QString& unpacker, const QString& package, const QString& folder)
{
    const auto entries = listPackage(unpacker, package);
    if (!entries)
        return false;
    for (const PackageEntry& entry : *entries) {
        if (!staysInside(entry)) {
            diag::error("Update package refused, entry outside the folder: ",
                        entry.path.toLocal8Bit().constData());
            return false;
        }
    }
    return runUnpacker(
               unpacker,
               {QStringLiteral("x"), package, QStringLiteral("-o") + folder, QStringLiteral("-y")},
               true)
        .has_value();
}

QString findInstaller(const QString& folder)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    QString installer;
    for (const QFileInfo& entry : entries) {
#ifdef Q_OS_WIN
        const bool isInstaller =
            entry.absoluteFilePath().endsWith(QLatin1String(".exe"), Qt::CaseSensitive);
#else
        const bool isInstaller = entry.isExecutable();
#endif
        if (isInstaller)
            installer = entry.absoluteFilePath();
    }
    return installer;
}

} // namespace orthaven
