#pragma once
// Programs of other projects that read what this one writes (GDAL's gdalinfo, ogr2ogr and
// gdal_translate, poppler's pdfinfo and pdftoppm), run as their users run them.
// scripts/setup.sh installs them; a test that needs one that is missing skips.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <optional>

namespace orthaven::test {

// Standard output of program; nothing when it is not installed, empty when it failed.
inline std::optional<QByteArray> toolOutput(const QString& program, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(program, arguments);
    const bool ran = process.waitForFinished(120000) &&
                     process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return ran ? process.readAllStandardOutput() : QByteArray();
}

// The JSON object a tool printed (gdalinfo -json, ogr2ogr -f GeoJSON /vsistdout/); an
// empty one when it printed nothing or did not run. Const, so that [] on it gives values,
// never references into the temporary.
inline const QJsonObject jsonOf(const std::optional<QByteArray>& output)
{
    return output ? QJsonDocument::fromJson(*output).object() : QJsonObject();
}

} // namespace orthaven::test
