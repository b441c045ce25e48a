// orthaven-layout: computes one layout from the command line, for scripts, batches and
// benchmarks. See docs/orthaven-layout.md.

#include "cli/CommandLine.h"
#include "cli/ConsoleCapture.h"
#include "cli/JobFile.h"
#include "cli/LayoutRunner.h"
#include "diag/QtMessageSeverity.h"
#include "platform/InterruptHandler.h"
#include "platform/ProcessStats.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// Qt's own messages join the program's diagnostics, which the runner shows by severity.
void qtMessageToConsole(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::cerr << "orthaven-layout: " << message.toStdString() << std::endl;
        std::abort();
    }
    orthaven::diag::report(orthaven::diag::qtMessageSeverity(type), message.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    using namespace orthaven;

    // The arguments are read before Qt sees them, so that none of them is taken for one
    // of Qt's own options; Qt gets the program name only.
    QStringList arguments;
    for (int k = 1; k < argc; ++k)
        arguments.append(QString::fromLocal8Bit(argv[k]));

    CommandLine options;
    QString error;
    if (!parseCommandLine(arguments, options, error)) {
        std::cerr << "orthaven-layout: " << error.toStdString() << std::endl;
        std::cerr << "Try orthaven-layout --help." << std::endl;
        return LayoutRunner::BadArguments;
    }

    // From here on the diagnostic lines are collected; results go to standard output.
    ConsoleCapture capture;
    std::ostream& out = std::cout;
    qInstallMessageHandler(qtMessageToConsole);

    // The overview pictures are painted with fonts, which need a GUI application; no
    // window is ever shown, so no display is needed either.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("orthaven-layout"));

    installInterruptHandler();
    int code = 0;
    bool exitAtOnce = false;
    if (!options.jobFile.isEmpty()) {
        code = runJobFile(options, out, std::cerr, standardErrorIsTerminal(), terminalColumns(),
                          &capture, exitAtOnce);
    } else {
        LayoutRunner runner(options, out, std::cerr, standardErrorIsTerminal(), terminalColumns(),
                            &capture);
        code = runner.run();
        exitAtOnce = runner.mustExitAtOnce();
    }
    if (exitAtOnce) {
        out.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
