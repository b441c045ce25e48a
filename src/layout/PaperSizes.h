#pragma once
// The paper a layout is printed on: the ISO A sizes A4 to A0, upright or on their side,
// by the names the command line, job files and the configuration file use
// ("A1-landscape").

#include <QString>
#include <QStringList>

#include <optional>

namespace orthaven {

struct Paper
{
    int size = 4;           // A4 … A0: 4 … 0
    bool landscape = false; // the long edge across

    // Millimetres across and down, as the sheet lies.
    double width() const;
    double height() const;
    // "A4-portrait", "A1-landscape"
    QString name() const;

    bool operator==(const Paper&) const = default;
};

// The paper of a name as Paper::name gives it, letter case ignored; nothing for another text.
std::optional<Paper> paperByName(const QString& name);
// Every paper, A4 upright first, by size from the smallest and upright before on its side.
QStringList paperNames();

} // namespace orthaven
