#pragma once
// The update check file the maker's server offers: "key = value" lines telling the
// newest version and revision and where its package lies. Reading it and deciding
// whether the running program is out of date needs no network, so it lives here.

#include <QString>
#include <QStringList>

#include <optional>

class QTextStream;

namespace orthaven {

struct UpdateCheckFile
{
    QString appName;
    std::optional<double> version;  // unset when the file has no Version line
    QString versionText;            // the Version value as written
    std::optional<double> revision; // unset when the file has no Revision line
    QString revisionText;
    QString fileType;
    QString url32bit;
    std::optional<QString> sha256; // the package's digest, set when the file has the line
    QStringList report;            // what reading prints, in file order ("Application: …", …)

    // The package address: the URL-32bit value when Filetype is exactly "zip", else empty.
    QString packageUrl() const;
};

// Reads line by line. A line beginning with "#" is a comment; any other line is tested
// for beginning with "AppName ", "Version ", "Revision ", "Filetype ", "URL-32bit ",
// "SHA256 ", in this order, case-sensitive. The value is the third part of the line split at every
// single blank, empty parts kept, so exactly one blank must stand on each side of "=".
// Numbers use "." as decimal point; text that is no number reads as 0.
UpdateCheckFile parseUpdateCheck(QTextStream& in);
UpdateCheckFile parseUpdateCheck(const QString& text);

// The file at path; an unreadable file gives an empty record.
UpdateCheckFile readUpdateCheckFile(const QString& path);

// Whether an offered version (or revision) is newer than the running one. A value the
// check file does not name is never newer.
bool isNewer(double current, std::optional<double> offered);

} // namespace orthaven
