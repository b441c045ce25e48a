#include "settings/ConfigSettings.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace orthaven {

ConfigSettings defaultConfig() { return ConfigSettings{}; }

QString formatShortReal(double value) { return QString::number(value, 'g', 6); }

namespace {

double toReal(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok); // C locale: "." is the decimal point
    return ok && std::isfinite(value) ? value : 0.0;
}

int toInteger(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

// Components outside 0..255 are brought to the nearest valid value.
int toComponent(const QString& text) { return std::clamp(toInteger(text), 0, 255); }

QByteArray colorText(const QColor& c)
{
    return QByteArray::number(c.red()) + ' ' + QByteArray::number(c.green()) + ' ' +
           QByteArray::number(c.blue()) + ' ' + QByteArray::number(c.alpha());
}

enum class Key {
    Version,
    ScannerDomain,
    Resolution,
    TileSize,
    IntensityMethod,
    InvertColor,
    Grid,
    GridColor,
    TextColor,
    ScanPosColor1,
    ScanPosColor2,
    CoordSystemSize
};

struct Prefix
{
    const char* text;
    Key key;
};

// Each prefix is the key followed by one blank, tested in this order; the blank keeps
// "GridColor" from matching "Grid ".
constexpr Prefix prefixes[] = {
    {"Version ", Key::Version},
    {"ScannerDomain ", Key::ScannerDomain},
    {"Resolution ", Key::Resolution},
    {"TileSize ", Key::TileSize},
    {"IntensityMethod ", Key::IntensityMethod},
    {"InvertColor ", Key::InvertColor},
    {"Grid ", Key::Grid},
    {"GridColor ", Key::GridColor},
    {"TextColor ", Key::TextColor},
    {"ScanPosColor1 ", Key::ScanPosColor1},
    {"ScanPosColor2 ", Key::ScanPosColor2},
    {"CoordSystemSize ", Key::CoordSystemSize},
};

void applyLine(const QString& line, ConfigSettings& s)
{
    const Prefix* match = nullptr;
    for (const Prefix& p : prefixes) {
        if (line.startsWith(QLatin1String(p.text))) {
            match = &p;
            break;
        }
    }
    if (!match)
        return;

    // Pieces 0 and 1 are normally the key and "="; the value starts at piece 2.
    const QStringList pieces = line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const bool isColor = match->key == Key::GridColor || match->key == Key::TextColor ||
                         match->key == Key::ScanPosColor1 || match->key == Key::ScanPosColor2;
    if (pieces.size() < (isColor ? 6 : 3))
        return; // too short to hold its value: ignored

    const QString& value = pieces[2];
    switch (match->key) {
    case Key::Version: s.version = toReal(value); break;
    case Key::ScannerDomain: s.scannerDomain = toReal(value); break;
    case Key::Resolution: s.resolution = toReal(value); break;
    case Key::TileSize: s.tileSize = toReal(value); break;
    case Key::IntensityMethod: s.intensityMethod = toInteger(value); break;
    case Key::InvertColor: s.invertColor = toInteger(value) != 0; break;
    case Key::Grid: s.grid = toInteger(value) != 0; break;
    case Key::CoordSystemSize: s.coordSystemSize = toInteger(value); break;
    case Key::GridColor:
    case Key::TextColor:
    case Key::ScanPosColor1:
    case Key::ScanPosColor2: {
        const QColor c(toComponent(pieces[2]), toComponent(pieces[3]), toComponent(pieces[4]),
                       toComponent(pieces[5]));
        if (match->key == Key::GridColor)
            s.gridColor = c;
        else if (match->key == Key::TextColor)
            s.textColor = c;
        else if (match->key == Key::ScanPosColor1)
            s.scanPosColor1 = c;
        else
            s.scanPosColor2 = c;
        break;
    }
    }
}

} // namespace

bool readConfig(const QString& path, ConfigSettings& settings)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('#'))
            continue;
        applyLine(QString::fromLatin1(line), settings);
    }
    return true;
}

QByteArray configText(const ConfigSettings& s)
{
    QByteArray text;
    const auto line = [&text](const QByteArray& content) { text += content + '\n'; };
    const auto real = [](double v) { return formatShortReal(v).toLatin1(); };
    line("# Orthaven Config File");
    line("Version = 1.0");
    line("# Tile Parameter");
    line("# Resolution in m");
    line("Resolution = " + real(s.resolution));
    line("# Domain of the Scanner data in m");
    line("ScannerDomain = " + real(s.scannerDomain));
    line("# size of a tiles in m");
    line("TileSize = " + real(s.tileSize));
    line(QByteArray("InvertColor = ") + (s.invertColor ? "1" : "0"));
    line("# Thumbnail Parameter");
    line(QByteArray("Grid = ") + (s.grid ? "1" : "0"));
    line("GridColor = " + colorText(s.gridColor));
    line("TextColor = " + colorText(s.textColor));
    line("ScanPosColor1 = " + colorText(s.scanPosColor1));
    line("ScanPosColor2 = " + colorText(s.scanPosColor2));
    line("CoordSystemSize = 150");
    return text;
}

bool saveConfig(const ConfigSettings& settings, const QString& path)
{
    // Written beside the old file and renamed over it, so a crash or a full disk never
    // leaves a cut-off configuration behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(configText(settings));
    return file.commit();
}

bool writeConfig(const ConfigSettings& settings, const QString& path)
{
    saveConfig(settings, path);
    return true;
}

} // namespace orthaven
