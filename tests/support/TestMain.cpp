// Shared main() of the test programs: a real QApplication (offscreen in CTest), the
// compiled-in images, and dialogs that answer from a script instead of waiting.

#include "uikit/UserDialogs.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    Q_INIT_RESOURCE(orthaven);
    QApplication app(argc, argv);
    orthaven::UserDialogs::setScripted(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
