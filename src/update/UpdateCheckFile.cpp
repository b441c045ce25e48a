#include "update/UpdateCheckFile.h"

#include <QFile>
#include <QTextStream>

namespace orthaven {

namespace {

QString valueOf(const QString& line)
{
    const QStringList parts = line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    return parts.size() > 2 ? parts.at(2) : QString();
}

// QString::toDouble reads the C notation whatever the locale; failure gives 0.
double numberOf(const QString& value)
{
    return value.toDouble();
}

} // namespace

QString UpdateCheckFile::packageUrl() const
{
    return fileType == QLatin1String("zip") ? url32bit : QString();
}

UpdateCheckFile parseUpdateCheck(QTextStream& in)
{
    UpdateCheckFile file;
    QString line;
    while (in.readLineInto(&line)) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QString value = valueOf(line);
        if (line.startsWith(QLatin1String("AppName "))) {
            file.appName = value;
            file.report.append(QStringLiteral("Application: ") + value);
        } else if (line.startsWith(QLatin1String("Version "))) {
            file.version = numberOf(value);
            file.versionText = value;
            file.report.append(QStringLiteral("Version: ") + QString::number(*file.version));
        } else if (line.startsWith(QLatin1String("Revision "))) {
            file.revision = numberOf(value);
            file.revisionText = value;
            // The revision has always been reported under this label.
            file.report.append(QStringLiteral("Version: ") + QString::number(*file.revision));
        } else if (line.startsWith(QLatin1String("Filetype "))) {
            file.fileType = value;
            file.report.append(QStringLiteral("FileType: ") + value);
        } else if (line.startsWith(QLatin1String("URL-32bit "))) {
            file.url32bit = value;
            file.report.append(QStringLiteral("URL 32bit: ") + value);
        } else if (line.startsWith(QLatin1String("SHA256 "))) {
            file.sha256 = value;
            file.report.append(QStringLiteral("SHA256: ") + value);
        }
    }
    return file;
}

UpdateCheckFile parseUpdateCheck(const QString& text)
{
    QString copy = text;
    QTextStream in(&copy, QIODevice::ReadOnly);
    return parseUpdateCheck(in);
}

UpdateCheckFile readUpdateCheckFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    return parseUpdateCheck(in);
}

bool isNewer(double current, std::optional<double> offered)
{
    return offered.has_value() && current < *offered;
}

} // namespace orthaven
