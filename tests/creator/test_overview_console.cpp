// The overview pictures in a program that has only a QCoreApplication (a command line
// without a graphical platform): text cannot be drawn there, so nothing is drawn, the
// reason is printed, and the layout's files stay as the engine wrote them.

#include "OverviewScene.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

TEST(OverviewWithoutGui, PicturesAreSkippedWithAReason)
{
    EXPECT_FALSE(canDrawOverviewPictures());
    OverviewScene scene;
    ASSERT_TRUE(scene.layout());
    const auto before = scene.run->outputBytes();
    CaptureDiagnostics out;
    EXPECT_FALSE(scene.drawSheet());
    EXPECT_FALSE(scene.annotate());
    EXPECT_EQ(out.lines(),
              QStringList(2, "Overview pictures skipped: drawing text needs a QGuiApplication"));
    EXPECT_EQ(scene.run->outputBytes(), before);
    EXPECT_FALSE(QFileInfo::exists(scene.sheetPath()));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
