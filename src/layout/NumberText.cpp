#include "layout/NumberText.h"

#include <QCoreApplication>

#include <cmath>

namespace orthaven {

namespace {

QLocale withoutGrouping(QLocale locale)
{
    locale.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

std::optional<double> parseUserReal(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = withoutGrouping(locale).toDouble(trimmed, &ok);
    if (!ok)
        value = trimmed.toDouble(&ok); // the C notation, which knows no group separators
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseUserInteger(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    int value = withoutGrouping(locale).toInt(trimmed, &ok);
    if (!ok)
        value = trimmed.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString formatUserReal(double value, const QLocale& locale)
{
    return withoutGrouping(locale).toString(value, 'g', 6);
}

QString formatUserFixed(double value, int decimals, const QLocale& locale)
{
    // No "-0,00" for a value that rounds to nothing.
    const double scale = std::pow(10.0, decimals);
    if (std::round(value * scale) == 0.0)
        value = 0.0;
    return withoutGrouping(locale).toString(value, 'f', decimals);
}

QLocale textLocale()
{
    return QLocale(QCoreApplication::translate(
        "NumberText", "C", "the locale of the language of this translation, e.g. de_DE"));
}

QString inNotation(QString text, const QLocale& locale)
{
    return text.replace(QLatin1Char('.'), locale.decimalPoint());
}

} // namespace orthaven
