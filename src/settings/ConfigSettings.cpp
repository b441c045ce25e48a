#include "settings/ConfigSettings.h"

#include "diag/Diagnostics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace orthaven {

ConfigSettings defaultConfig()
{
    return ConfigSettings{};
}

QString formatShortReal(double value)
{
    return QString::number(value, 'g', 6);
}

namespace {

// The file keeps the C notation: "." is the decimal point, and text that is no number
// (a decimal comma, an equals sign where the value belongs) gives nothing.
std::optional<double> toReal(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> toInteger(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

// Components outside 0..255 are brought to the nearest valid value.
int toComponent(int value)
{
    return std::clamp(value, 0, 255);
}

QByteArray colorText(const QColor& c)
{
    return QByteArray::number(c.red()) + ' ' + QByteArray::number(c.green()) + ' ' +
           QByteArray::number(c.blue()) + ' ' + QByteArray::number(c.alpha());
}

enum class Key
{
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
    CoordSystemSize,
    Dxf,
    PdfPaper,
    Crs,
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
    {"Dxf ", Key::Dxf},
    {"PdfPaper ", Key::PdfPaper},
    {"Crs ", Key::Crs},
};

// A text value; "none" stands for an empty one.
QString textValue(const QString& value)
{
    return value == QLatin1String("none") ? QString() : value;
}

// What a line of the file could not give.
enum class LineUse
{
    Taken,
    Unreadable, // the field keeps what it held
    Clamped,    // a colour component beyond 0 … 255, taken as the nearest of them
};

bool isColorKey(Key key)
{
    return key == Key::GridColor || key == Key::TextColor || key == Key::ScanPosColor1 ||
           key == Key::ScanPosColor2;
}

// Where a line of the file is, for the user: "Line 5 of …: Resolution = 0,02".
QString lineReference(int number, const QString& path, const QString& line)
{
    return QCoreApplication::translate("LayoutPrefForm", "Line %1 of %2: %3")
        .arg(number)
        .arg(QDir::toNativeSeparators(path), line);
}

// What the value of a key must be, for the user.
QString allowedValue(Key key)
{
    if (isColorKey(key))
        return QCoreApplication::translate(
            "LayoutPrefForm",
            "Four whole numbers from 0 to 255 are needed: red, green, blue and alpha.");
    switch (key) {
    case Key::IntensityMethod:
    case Key::CoordSystemSize:
        return QCoreApplication::translate("LayoutPrefForm", "A whole number is needed.");
    case Key::InvertColor:
    case Key::Grid:
    case Key::Dxf:
        return QCoreApplication::translate("LayoutPrefForm", "0 (off) or 1 (on) is needed.");
    default:
        return QCoreApplication::translate(
            "LayoutPrefForm", "A number with a decimal point is needed, such as 0.02.");
    }
}

// What the line gave; key tells which key it was (none: not one of the file's keys).
LineUse applyLine(const QString& line, ConfigSettings& s, std::optional<Key>& key)
{
    const Prefix* match = nullptr;
    for (const Prefix& p : prefixes) {
        if (line.startsWith(QLatin1String(p.text))) {
            match = &p;
            break;
        }
    }
    if (!match)
        return LineUse::Taken;
    key = match->key;

    // Pieces 0 and 1 are normally the key and "="; the value starts at piece 2.
    const QStringList pieces = line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (pieces.size() < (isColorKey(match->key) ? 6 : 3))
        return LineUse::Unreadable; // too short to hold its value

    const QString& value = pieces[2];
    const auto real = [&value](double& field) {
        const std::optional<double> v = toReal(value);
        if (v)
            field = *v;
        return v ? LineUse::Taken : LineUse::Unreadable;
    };
    const auto integer = [&value](int& field) {
        const std::optional<int> v = toInteger(value);
        if (v)
            field = *v;
        return v ? LineUse::Taken : LineUse::Unreadable;
    };
    const auto flag = [&value](bool& field) {
        const std::optional<int> v = toInteger(value);
        if (v)
            field = *v != 0;
        return v ? LineUse::Taken : LineUse::Unreadable;
    };
    switch (match->key) {
    case Key::Version:
        return real(s.version);
    case Key::ScannerDomain:
        return real(s.scannerDomain);
    case Key::Resolution:
        return real(s.resolution);
    case Key::TileSize:
        return real(s.tileSize);
    case Key::IntensityMethod:
        return integer(s.intensityMethod);
    case Key::InvertColor:
        return flag(s.invertColor);
    case Key::Grid:
        return flag(s.grid);
    case Key::CoordSystemSize:
        return integer(s.coordSystemSize);
    case Key::Dxf:
        return flag(s.handOff.dxf);
    case Key::PdfPaper:
        s.handOff.pdfPaper = textValue(value);
        return LineUse::Taken;
    case Key::Crs:
        s.handOff.crs = textValue(value);
        return LineUse::Taken;
    case Key::GridColor:
    case Key::TextColor:
    case Key::ScanPosColor1:
    case Key::ScanPosColor2: {
        int c[4] = {};
        bool clamped = false;
        for (int k = 0; k < 4; ++k) {
            const std::optional<int> v = toInteger(pieces[2 + k]);
            if (!v)
                return LineUse::Unreadable;
            c[k] = toComponent(*v);
            clamped = clamped || c[k] != *v;
        }
        const QColor color(c[0], c[1], c[2], c[3]);
        if (match->key == Key::GridColor)
            s.gridColor = color;
        else if (match->key == Key::TextColor)
            s.textColor = color;
        else if (match->key == Key::ScanPosColor1)
            s.scanPosColor1 = color;
        else
            s.scanPosColor2 = color;
        return clamped ? LineUse::Clamped : LineUse::Taken;
    }
    }
    return LineUse::Taken;
}

} // namespace

bool readConfig(const QString& path, ConfigSettings& settings, QStringList* unusable)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int lineNumber = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNumber;
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('#'))
            continue;
        // A value that cannot be read is never taken as 0: a resolution of 0 would only
        // fail later, far from the line that caused it.
        std::optional<Key> key;
        const LineUse use = applyLine(QString::fromLatin1(line), settings, key);
        if (use == LineUse::Unreadable)
            diag::warning("WARNING: " + QDir::toNativeSeparators(path).toStdString() + " line " +
                          std::to_string(lineNumber) + ": no value can be read from \"" +
                          line.toStdString() + "\"; the line is ignored");
        if (use == LineUse::Taken || !unusable)
            continue;
        unusable->append(
            lineReference(lineNumber, path, QString::fromLatin1(line)) + QLatin1Char('\n') +
            allowedValue(*key) + QLatin1Char(' ') +
            (use == LineUse::Unreadable
                 ? QCoreApplication::translate("LayoutPrefForm", "The line is left out.")
                 : QCoreApplication::translate("LayoutPrefForm",
                                               "A number beyond them is taken as 0 or 255.")));
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
    line("# Layout Creator: what goes beside the tiles");
    line(QByteArray("Dxf = ") + (s.handOff.dxf ? "1" : "0"));
    const auto word = [](const QString& value) {
        return value.isEmpty() ? QByteArray("none") : value.toLatin1();
    };
    line("PdfPaper = " + word(s.handOff.pdfPaper));
    line("Crs = " + word(s.handOff.crs));
    return text;
}

int configKeyLine(const QString& path, const char* key, QString* text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ' ';
    int found = 0;
    for (int number = 1; !file.atEnd(); ++number) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith(prefix))
            continue;
        found = number;
        if (text)
            *text = QString::fromLatin1(line);
    }
    return found;
}

QString configProblemMessage(const GeometryProblem& problem, const QString& path)
{
    QString line;
    const int number = configKeyLine(path, problem.key(), &line);
    if (number == 0)
        return problem.message;
    return problem.message + QStringLiteral("\n\n") + lineReference(number, path, line);
}

bool saveConfig(const ConfigSettings& settings, const QString& path)
{
    // Written beside the old file and renamed over it, so a crash or a full disk never
    // leaves a cut-off configuration behind. Unbuffered, so a write the disk refuses fails
    // here: a buffered one failed only when the file was committed, and an empty file took
    // the old one's place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray text = configText(settings);
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writeConfig(const ConfigSettings& settings, const QString& path)
{
    saveConfig(settings, path);
    return true;
}

} // namespace orthaven
