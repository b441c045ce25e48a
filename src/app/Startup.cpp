#include "app/Startup.h"

#include "Version.h"
#include "diag/QtMessageSeverity.h"
#include "platform/DataFolder.h"
#include "scan/ScanSourceFactory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QTranslator>

#include <cstdlib>

namespace orthaven {

bool answerInformationOptions(const QStringList& arguments, std::ostream& out)
{
    QCommandLineParser parser;
    // "-stylesheet" is one of Qt's options, not -s -t -y ... -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});
    // Qt's own options are unknown here; the outcome is read from what was found.
    static_cast<void>(parser.parse(QStringList(QStringLiteral("orthaven")) + arguments));
    if (parser.isSet(help)) {
        out << "Usage: orthaven [Qt options]\n"
               "\n"
               "Opens the window of Orthaven, which turns terrestrial laser scans (files of "
               "the\n"
               "formats "
            << supportedScanExtensions().join(QStringLiteral(", ")).toStdString()
            << ") into layouts: orthographic\n"
               "pictures of the scene cut into tiles with world files, a layout log, an "
               "overview\n"
               "and a scan-position sheet. orthaven-layout computes them without the window.\n"
               "\n"
               "Options:\n"
               "  -h, --help  show this text\n"
               "  --version   show the program's version\n"
               "\n"
               "Qt's own options apply as well, for example -style Fusion.\n";
        return true;
    }
    if (parser.isSet(version)) {
        out << "orthaven " << version::text << " (revision " << version::revision << ")\n";
        return true;
    }
    return false;
}

void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    diag::report(diag::qtMessageSeverity(type), text.toLocal8Bit().constData());
    if (type == QtFatalMsg)
        std::abort();
}

bool loadTranslation(QTranslator& translator, const QString& name)
{
    if (translator.load(name, dataFolder() + QStringLiteral("/translations")))
        return true;
    return translator.load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool installGermanTranslators()
{
    if (QLocale::system().language() != QLocale::German)
        return false;
    diag::debug("Install Language");
    // Installed whether their files were found or not; they live until the program ends.
    auto* qtTranslator = new QTranslator;
    loadTranslation(*qtTranslator, QStringLiteral("qt_de"));
    QCoreApplication::installTranslator(qtTranslator);
    auto* ownTranslator = new QTranslator;
    loadTranslation(*ownTranslator, QStringLiteral("orthaven_de"));
    QCoreApplication::installTranslator(ownTranslator);
    return true;
}

bool singleInstanceCheck(QLockFile& lock)
{
    // A window holds the lock for hours: only a holder that no longer runs makes the lock
    // stale, never its age.
    lock.setStaleLockTime(0);
    if (lock.tryLock())
        return false;
    if (lock.error() == QLockFile::LockFailedError)
        return true;
    // No lock can be made there (a folder that cannot be written): this copy cannot tell
    // and starts.
    diag::warning("Could not create the lock file ", lock.fileName().toLocal8Bit().constData(),
                  "; a second window of this user is not kept from starting");
    return false;
}

} // namespace orthaven
