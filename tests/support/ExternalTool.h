#pragma once
// Programs of other projects that read what this one writes (GDAL's gdalinfo and ogr2ogr,
// poppler's pdfinfo and pdftoppm), run as their users run them. scripts/setup.sh installs
// them; a test that needs one that is missing skips.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <optional>

namespace orthaven::test {

// Standard output of program run with arguments; nothing when it is not installed, and
// an empty text when it failed.
inline std::optional<QByteArray> toolOutput(const QString& program, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

// The JSON object a tool printed (gdalinfo -json, ogr2ogr -f GeoJSON /vsistdout/).
inline const QJsonObject jsonOf(const QByteArray& output)
{
    return QJsonDocument::fromJson(output).object();
}

} // namespace orthaven::test
