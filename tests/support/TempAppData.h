#pragma once
// Points APPDATA at a fresh temporary folder for the lifetime of the object, so a test
// never touches the user's real configuration.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>

namespace orthaven::test {

class TempAppData
{
public:
    TempAppData();
    ~TempAppData();
    TempAppData(const TempAppData&) = delete;
    TempAppData& operator=(const TempAppData&) = delete;

    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QByteArray previous;
    bool hadPrevious = false;
};

// Writes bytes to a file, creating its folder; returns the file's path.
QString writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Every file of a folder (its sub-folders left aside) by name, with its bytes.
std::map<QString, QByteArray> filesIn(const QString& folder);

} // namespace orthaven::test
