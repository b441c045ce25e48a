#include "support/TempAppData.h"
#include "update/UpdatePackage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// Packs the files (names relative to folder) with the real 7-Zip tool.
QString makeZip(const QString& folder, const QString& zip, const QStringList& files)
{
    QProcess sevenZip;
    sevenZip.setWorkingDirectory(folder);
    sevenZip.start("7za", QStringList{"a", "-tzip", zip} + files);
    sevenZip.waitForFinished(-1);
    EXPECT_EQ(sevenZip.exitCode(), 0) << sevenZip.readAll().toStdString();
    return zip;
}

void makeExecutable(const QString& path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup |
                                    QFile::ExeOther);
}

} // namespace

TEST(UpdatePackage, UnpacksWithPathsIntoTheFolder)
{
    QTemporaryDir source;
    QTemporaryDir target;
    writeFile(source.path() + "/OrthavenSetup", "setup program");
    makeExecutable(source.path() + "/OrthavenSetup");
    writeFile(source.path() + "/docs/readme.txt", "read me");
    const QString zip =
        makeZip(source.path(), source.path() + "/Orthaven-New.zip", {"OrthavenSetup", "docs"});

    EXPECT_TRUE(unpackPackage(defaultUnpacker(), zip, target.path()));
    EXPECT_EQ(readFile(target.path() + "/OrthavenSetup"), "setup program");
    EXPECT_EQ(readFile(target.path() + "/docs/readme.txt"), "read me");
    EXPECT_TRUE(QFileInfo(target.path() + "/OrthavenSetup").isExecutable());

    // Unpacking again over the same files answers the overwrite question itself.
    writeFile(target.path() + "/OrthavenSetup", "changed");
    EXPECT_TRUE(unpackPackage(defaultUnpacker(), zip, target.path()));
    EXPECT_EQ(readFile(target.path() + "/OrthavenSetup"), "setup program");
}

TEST(UpdatePackage, ListsEntriesAndTheirLinks)
{
    const auto entries = listPackage(defaultUnpacker(), ORTHAVEN_TEST_DATA_DIR "/update/link.zip");
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].path, "outside");
    EXPECT_TRUE((*entries)[0].isLink);
    EXPECT_EQ((*entries)[1].path, "outside/orthaven-linked.txt");
    EXPECT_FALSE((*entries)[1].isLink);

    QTemporaryDir dir;
    EXPECT_FALSE(listPackage(defaultUnpacker(), dir.path() + "/none.zip").has_value());
}

TEST(UpdatePackage, JudgesWhetherAnEntryStaysInside)
{
    const struct
    {
        const char* path;
        bool isLink;
        bool inside;
    } cases[] = {
        {"OrthavenSetup.exe", false, true},
        {"docs/readme.txt", false, true},
        {"docs\\readme.txt", false, true},
        {"a..b/c..", false, true},
        {"../up.txt", false, false},
        {"docs/../../up.txt", false, false},
        {"docs\\..\\..\\up.txt", false, false},
        {"..", false, false},
        {"/etc/passwd", false, false},
        {"\\Windows\\up.txt", false, false},
        {"C:\\up.txt", false, false},
        {"c:up.txt", false, false},
        {"", false, false},
        {"harmless", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(staysInside({QString::fromLatin1(c.path), c.isLink}), c.inside) << c.path;
}

TEST(UpdatePackage, RefusesAPackageWithAnEntryOutsideTheFolder)
{
    for (const char* name : {"escape.zip", "absolute.zip", "link.zip", "backslash.zip"}) {
        QTemporaryDir outer;
        const QString target = outer.path() + "/tmp";
        QDir().mkpath(target);
        EXPECT_FALSE(unpackPackage(
            defaultUnpacker(), QStringLiteral(ORTHAVEN_TEST_DATA_DIR "/update/") + name, target))
            << name;
        EXPECT_TRUE(QDir(target).isEmpty()) << name << ": nothing is unpacked";
        EXPECT_EQ(QDir(outer.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"tmp"})
            << name;
    }
}

TEST(UpdatePackage, ReportsAMissingDamagedOrUnstartablePackage)
{
    QTemporaryDir dir;
    EXPECT_FALSE(unpackPackage(defaultUnpacker(), dir.path() + "/none.zip", dir.path() + "/out"));
    const QString garbage = writeFile(dir.path() + "/garbage.zip", "PK this is no zip at all");
    EXPECT_FALSE(unpackPackage(defaultUnpacker(), garbage, dir.path() + "/out"));
    EXPECT_FALSE(unpackPackage(dir.path() + "/no-such-7za", garbage, dir.path() + "/out"));
}

TEST(UpdatePackage, ChecksTheDigestOfThePackage)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.path() + "/Orthaven-New.zip", "package bytes");
    const QString digest =
        QCryptographicHash::hash("package bytes", QCryptographicHash::Sha256).toHex();
    EXPECT_TRUE(matchesSha256(path, digest));
    EXPECT_TRUE(matchesSha256(path, digest.toUpper()));
    QString other = digest;
    other[0] = other[0] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    EXPECT_FALSE(matchesSha256(path, other));
    EXPECT_FALSE(matchesSha256(path, digest.left(63)));
    EXPECT_FALSE(matchesSha256(path, digest + "0"));
    EXPECT_FALSE(matchesSha256(path, QString(64, QLatin1Char('g'))));
    EXPECT_FALSE(matchesSha256(path, ""));
    EXPECT_FALSE(matchesSha256(dir.path() + "/missing.zip", digest));
}

TEST(UpdatePackage, FindsTheLastInstallerByName)
{
    QTemporaryDir dir;
    EXPECT_TRUE(findInstaller(dir.path()).isEmpty());
#ifdef Q_OS_WIN
    writeFile(dir.path() + "/a_setup.exe", "1");
    writeFile(dir.path() + "/b_setup.exe", "2");
    writeFile(dir.path() + "/c_setup.EXE", "3");
    writeFile(dir.path() + "/d_notes.exe.txt", "4");
    writeFile(dir.path() + "/sub/z_setup.exe", "5");
    EXPECT_EQ(findInstaller(dir.path()), QFileInfo(dir.path() + "/b_setup.exe").absoluteFilePath());
#else
    for (const char* name : {"a_setup", "b_setup", "c_readme.txt", "d_setup.exe"})
        writeFile(dir.path() + "/" + name, "#!/bin/sh\n");
    makeExecutable(dir.path() + "/a_setup");
    makeExecutable(dir.path() + "/b_setup");
    QDir().mkpath(dir.path() + "/z_folder"); // folders carry an execute bit too
    EXPECT_EQ(findInstaller(dir.path()), QFileInfo(dir.path() + "/b_setup").absoluteFilePath());
#endif
}
