#include "app/Startup.h"

#include "diag/QtMessageSeverity.h"
#include "platform/ProcessList.h"
#include "uikit/UserDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdlib>

namespace orthaven {

void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    diag::report(diag::qtMessageSeverity(type), text.toLocal8Bit().constData());
    if (type == QtFatalMsg)
        std::abort();
}

bool loadTranslation(QTranslator& translator, const QString& name)
{
    if (translator.load(name))
        return true;
    const QString besideProgram =
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    if (translator.load(name, besideProgram))
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

InstanceVerdict judgeInstanceCount(int count)
{
    if (count > 1)
        return InstanceVerdict::OtherCopyRunning;
    if (count == 0)
        return InstanceVerdict::ListingFailed;
    return InstanceVerdict::OnlyThisCopy;
}

bool singleInstanceCheck()
{
    const int count = countOccurrences(processListing(), ownImageNeedle(), programNameCase());
    switch (judgeInstanceCount(count)) {
    case InstanceVerdict::OtherCopyRunning:
        return true;
    case InstanceVerdict::ListingFailed:
        UserDialogs::information(
            nullptr, QCoreApplication::translate("main", "Information"),
            QCoreApplication::translate("main", "ERROR: Could not find Orthaven instance!") +
                QLatin1Char('\n') +
                QCoreApplication::translate("main", "Please contact support@brandmoor.example"));
        return false;
    case InstanceVerdict::OnlyThisCopy:
        break;
    }
    return false;
}

} // namespace orthaven
