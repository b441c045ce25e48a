// The window program's entry point.

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "engine/SessionFolders.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QLockFile>

#include <iostream>

int main(int argc, char* argv[])
{
    qInstallMessageHandler(orthaven::messageHandler);
    Q_INIT_RESOURCE(orthaven);

    QStringList arguments;
    for (int k = 1; k < argc; ++k)
        arguments.append(QString::fromLocal8Bit(argv[k]));
    if (orthaven::answerInformationOptions(arguments, std::cout))
        return 0;

    QApplication app(argc, argv);
    app.addLibraryPath(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brandmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Orthaven"));
    // Links the window to its menu entry (the icon in task bars, the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(ORTHAVEN_APP_ID));

    // The temporary folder is emptied only once we know that no other copy is using it.
    orthaven::ensureAppFolders(false);
    orthaven::installGermanTranslators();

    // Held until the program ends: one window per user.
    QLockFile instanceLock(orthaven::instanceLockPath());
    if (orthaven::singleInstanceCheck(instanceLock)) {
        orthaven::UserDialogs::information(
            nullptr, QCoreApplication::translate("main", "Information"),
            QCoreApplication::translate("main", "There is already an Orthaven instance running!"));
        return 0;
    }
    // Emptied except for the session folders of runs that go on (a command-line layout,
    // which removes its folder itself); those of runs that were killed go too.
    orthaven::clearTemporaryFolder(orthaven::tempFolder());

    orthaven::MainWindow window;
    window.show();
    return app.exec();
}
