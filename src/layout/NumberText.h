#pragma once
// Numbers as users type them into fields and read them in the window: in the notation of
// their locale, with the C notation ("2.5") accepted as well where that is unambiguous.

#include <QLocale>
#include <QString>

#include <optional>

namespace orthaven {

// A finite real typed by a user. Blanks around it are forgiven. The locale's notation is
// tried first, without group separators, then the C notation: under German conventions
// "2,5" and "2.5" both give 2.5, while "1.234,5" (grouped) is refused rather than guessed
// at; under English ones "2,5" is refused. Infinities and NaN are no numbers here.
std::optional<double> parseUserReal(const QString& text, const QLocale& locale = QLocale());

// A base-10 integer typed by a user, by the same rules ("+9" and " 7 " are numbers).
std::optional<int> parseUserInteger(const QString& text, const QLocale& locale = QLocale());

// A real as the window shows it: the locale's decimal separator, at most six significant
// digits, no group separators and no trailing zeros ("0,5" under German conventions).
QString formatUserReal(double value, const QLocale& locale = QLocale());
// A measure to the given decimals as a field shows it: the locale's decimal separator, no
// group separators ("312,45"), whatever the size (georeferenced coordinates keep them).
QString formatUserFixed(double value, int decimals, const QLocale& locale = QLocale());

// The notation that goes with the language the program's texts are in: the translation
// names its locale ("de_DE" in the German one), and without one it is the C notation. A
// picture drawn in German thus reads "0,5 m bis 2 m", in English "0.5 m to 2 m", whatever
// thread draws it.
QLocale textLocale();

// text, a number in the C notation, in the notation of locale (its decimal separator).
QString inNotation(QString text, const QLocale& locale);

} // namespace orthaven
