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

} // namespace orthaven::test
