#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orthaven::test {

TempAppData::TempAppData()
{
    hadPrevious = qEnvironmentVariableIsSet("APPDATA");
    previous = qgetenv("APPDATA");
    qputenv("APPDATA", dir.path().toLocal8Bit());
}

TempAppData::~TempAppData()
{
    if (hadPrevious)
        qputenv("APPDATA", previous);
    else
        qunsetenv("APPDATA");
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::map<QString, QByteArray> filesIn(const QString& folder)
{
    std::map<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files))
        files[name] = readFile(dir.filePath(name));
    return files;
}

} // namespace orthaven::test
