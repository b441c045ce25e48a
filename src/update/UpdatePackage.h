#pragma once
// Checking, unpacking and opening a downloaded update package: its digest, the 7-Zip
// command-line tool, and the installer in it.

#include <QString>

#include <optional>
#include <vector>

namespace orthaven {

// One entry of a package as the unpacker lists it.
struct PackageEntry
{
    QString path;
    bool isLink = false;
};

// The 7-Zip command-line program: "7za.exe" on Windows, "7za" elsewhere.
QString defaultUnpacker();

// Whether the SHA-256 digest of the file at path is the 64 hexadecimal digits given
// (either case). A file that cannot be read, or a digest of another form, never matches.
bool matchesSha256(const QString& path, const QString& expectedHex);

// The entries of package, read from the unpacker's technical listing; empty when the
// unpacker cannot list it.
std::optional<std::vector<PackageEntry>> listPackage(const QString& unpacker,
                                                     const QString& package);

// Whether an entry unpacks below the target folder: a relative path with no ".." part
// ("/" and "\" both count as separators, so a package is judged alike on every system)
// and no link, which could lead a later entry out of the folder.
bool staysInside(const PackageEntry& entry);

// Lists package and, when every entry stays inside, runs the unpacker with
// "x <package> -o<folder> -y" (extract with paths, answer every question with yes so that
// an existing file never stalls it), waiting without a time limit for it to end. True
// when it ran and exited with code 0, or with 1 (warnings only: the files were written;
// whether the installer is among them is for findInstaller to say); false for an error
// (2 and up), and, with nothing unpacked, for an entry that would leave the folder.
bool unpackPackage(const QString& unpacker, const QString& package, const QString& folder);

// The installer among the files directly in folder: the last one in name order that is
// an executable file, on Windows one whose absolute path ends with ".exe"
// (case-sensitive). Empty when there is none.
QString findInstaller(const QString& folder);

} // namespace orthaven
