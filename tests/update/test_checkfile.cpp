#include "support/TempAppData.h"
#include "update/UpdateCheckFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace orthaven;
using namespace orthaven::test;

TEST(UpdateCheckFile, ReadsEveryKeyAndReportsItInFileOrder)
{
    const UpdateCheckFile file =
        parseUpdateCheck("AppName = Orthaven\n"
                         "Version = 1.20\n"
                         "Revision = 7\n"
                         "Filetype = zip\n"
                         "URL-32bit = http://host:8080/pkg/Orthaven-New.zip\n"
                         "SHA256 = 00ff\n");
    EXPECT_EQ(file.appName, "Orthaven");
    ASSERT_TRUE(file.version.has_value());
    EXPECT_DOUBLE_EQ(*file.version, 1.2);
    EXPECT_EQ(file.versionText, "1.20");
    ASSERT_TRUE(file.revision.has_value());
    EXPECT_DOUBLE_EQ(*file.revision, 7.0);
    EXPECT_EQ(file.revisionText, "7");
    EXPECT_EQ(file.fileType, "zip");
    EXPECT_EQ(file.packageUrl(), "http://host:8080/pkg/Orthaven-New.zip");
    EXPECT_EQ(file.sha256, "00ff");
    EXPECT_EQ(file.report,
              (QStringList{"Application: Orthaven", "Version: 1.2", "Version: 7", "FileType: zip",
                           "URL 32bit: http://host:8080/pkg/Orthaven-New.zip", "SHA256: 00ff"}));
    EXPECT_FALSE(parseUpdateCheck("Version = 1.2\n").sha256.has_value());
}

TEST(UpdateCheckFile, SkipsCommentLinesAnywhere)
{
    const UpdateCheckFile file = parseUpdateCheck("# Version = 9\n"
                                                  "Version = 1.1\n"
                                                  "#Revision = 99\n"
                                                  "Revision = 6\n"
                                                  "# Filetype = zip\n");
    EXPECT_DOUBLE_EQ(*file.version, 1.1);
    EXPECT_DOUBLE_EQ(*file.revision, 6.0);
    EXPECT_TRUE(file.fileType.isEmpty());
    EXPECT_EQ(file.report, (QStringList{"Version: 1.1", "Version: 6"}));
}

TEST(UpdateCheckFile, TwoBlanksBeforeTheEqualsSignReadAsZero)
{
    const UpdateCheckFile file = parseUpdateCheck("Version  = 2.0\nRevision =  8\n");
    EXPECT_EQ(file.versionText, "=");
    EXPECT_DOUBLE_EQ(*file.version, 0.0);
    EXPECT_EQ(file.revisionText, "");
    EXPECT_DOUBLE_EQ(*file.revision, 0.0);
    EXPECT_FALSE(isNewer(1.1, file.version));
    EXPECT_FALSE(isNewer(6, file.revision));
}

TEST(UpdateCheckFile, KeysAreCaseSensitiveAndEndWithABlank)
{
    const UpdateCheckFile file = parseUpdateCheck("version = 2\n"
                                                  "Version= 3\n"
                                                  "Versions = 4\n"
                                                  "REVISION = 9\n"
                                                  "url-32bit = http://x/y.zip\n"
                                                  "Filetype\n"
                                                  "sha256 = 00ff\n"
                                                  "Anything else = 5\n");
    EXPECT_FALSE(file.version.has_value());
    EXPECT_FALSE(file.revision.has_value());
    EXPECT_TRUE(file.url32bit.isEmpty());
    EXPECT_TRUE(file.fileType.isEmpty());
    EXPECT_FALSE(file.sha256.has_value());
    EXPECT_TRUE(file.report.isEmpty());
}

TEST(UpdateCheckFile, OnlyALowerCaseZipOffersThePackage)
{
    for (const char* type : {"ZIP", "Zip", "exe", "zip "}) {
        const UpdateCheckFile file = parseUpdateCheck(
            QString("Filetype = %1\nURL-32bit = http://x/p.zip\n").arg(QString::fromLatin1(type)));
        if (QString::fromLatin1(type) == "zip ")
            EXPECT_EQ(file.packageUrl(), "http://x/p.zip") << "the value ends at the blank";
        else
            EXPECT_TRUE(file.packageUrl().isEmpty()) << type;
    }
}

TEST(UpdateCheckFile, AcceptsWindowsLineEndsAndAMissingLastLineEnd)
{
    const UpdateCheckFile file = parseUpdateCheck("Version = 1.3\r\nRevision = 2");
    EXPECT_EQ(file.versionText, "1.3");
    EXPECT_EQ(file.revisionText, "2");
}

TEST(UpdateCheckFile, ReadsAFileAndGivesNothingForAMissingOne)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir.path() + "/orthavenupdatecheck.log",
                  "# made by the release script\r\nVersion = 1.1\r\nRevision = 7\r\n");
    const UpdateCheckFile file = readUpdateCheckFile(path);
    EXPECT_EQ(file.revisionText, "7");
    EXPECT_TRUE(isNewer(6, file.revision));

    const UpdateCheckFile none = readUpdateCheckFile(dir.path() + "/missing.log");
    EXPECT_FALSE(none.version.has_value());
    EXPECT_TRUE(none.report.isEmpty());
}

TEST(UpdateCheckFile, NumbersUseAPointWhateverTheLocale)
{
    const UpdateCheckFile file = parseUpdateCheck("Version = 1,2\nRevision = 6.5\n");
    EXPECT_DOUBLE_EQ(*file.version, 0.0) << "a comma is no decimal point here";
    EXPECT_DOUBLE_EQ(*file.revision, 6.5);
}

TEST(UpdateCheckFile, ComparesVersionsAsNumbers)
{
    struct Case
    {
        double current;
        std::optional<double> offered;
        bool newer;
    };
    const Case cases[] = {
        {1.1, 1.1, false},
        {1.1, 1.2, true},
        {1.1, 1.0, false},
        {6, 7, true},
        {6, 6, false},
        {1.1, 1.10, false},
        {1.1, std::nullopt, false},
        {1.1, 0.0, false},
        {1.1, std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isNewer(c.current, c.offered), c.newer)
            << c.current << " vs " << (c.offered ? *c.offered : -1.0);
}
