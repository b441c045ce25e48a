// Shared main() of the test programs of the widget-free core: a QGuiApplication, which
// painting the overview pictures' text needs, offscreen in CTest; no widget, no dialog.

#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
