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
