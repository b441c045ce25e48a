#include "update/Updater.h"

#include "diag/Diagnostics.h"
#include "platform/AppPaths.h"
#include "platform/ProcessEnd.h"
#include "uikit/UserDialogs.h"
#include "update/UpdateCheckFile.h"
#include "update/UpdatePackage.h"

#include "ui_UpdaterForm.h"

#include <QAuthenticator> // complete for the slot's meta type
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>

namespace orthaven {

namespace {

void printLine(const QString& line)
{
    diag::debug(line.toLocal8Bit().constData());
}

} // namespace

Updater::Updater(double programVersion, double programRevision, const QString& server,
                 QWidget* parent)
    : QDialog(parent), ui(new Ui::UpdaterForm), version(programVersion), revision(programRevision),
      tmpFolder(tempFolder()),
      checkAddress(server + QLatin1Char('/') + QLatin1String(updateCheckFileName)),
      unpacker(defaultUnpacker())
{
    ui->setupUi(this);
    http = new QNetworkAccessManager(this);
    ui->progressBar->setRange(0, 0);

    connect(ui->b_close, &QPushButton::clicked, this, &Updater::onButton);
    connect(ui->b_continue, &QPushButton::clicked, this, &Updater::onButton);
    // The reply's own signals are connected per transfer in downloadFile().
    connect(http, &QNetworkAccessManager::authenticationRequired, this,
            &Updater::slotAuthenticationRequired);

    startCheck();
}

Updater::~Updater()
{
    dropTransfer();
}

QString Updater::checkFilePath() const
{
    return tmpFolder + QLatin1Char('/') + QLatin1String(updateCheckFileName);
}

QString Updater::packagePath() const
{
    return tmpFolder + QLatin1Char('/') + QLatin1String(updatePackageFileName);
}

void Updater::onButton()
{
    const QObject* from = sender();
    if (from == ui->b_close) {
        done(0);
    } else if (from == ui->b_continue) {
        if (step == 2)
            downloadFile(packageAddress, packagePath());
        else if (step == 3)
            installOrthaven();
    }
}

void Updater::dropTransfer()
{
    if (!reply)
        return;
    // Disconnected first: an abandoned transfer reports nothing and writes nothing.
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    reply = nullptr;
}

bool Updater::downloadFile(const QString& urlpath, const QString& targetfile)
{
    dropTransfer();
    const int id = ++requestId;

    QDir().mkpath(QFileInfo(targetfile).absolutePath());
    targetFile = std::make_unique<QFile>(targetfile);
    // A file that cannot be written makes the transfer fail when it ends, like any
    // other transfer error.
    writeFailed = !targetFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
    refused = false;

    // QUrl percent-encodes the path and keeps a port and a user name of the address;
    // the access manager answers an authentication request with that user name and
    // password before it asks slotAuthenticationRequired.
    const QUrl url(urlpath);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        // Nothing but the web: a check file must not make us copy a local file (file:) or
        // talk any other protocol. An empty address lands here too.
        QMetaObject::invokeMethod(
            this, [this, id] { httpRequestFinished(id, true); }, Qt::QueuedConnection);
        return true;
    }
    QNetworkReply* transfer = http->get(QNetworkRequest(url));
    reply = transfer;
    connect(transfer, &QNetworkReply::metaDataChanged, this, [this, transfer] {
        readResponseHeader(transfer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    });
    connect(transfer, &QNetworkReply::readyRead, this, [this, transfer] { saveArrived(transfer); });
    connect(transfer, &QNetworkReply::downloadProgress, this, &Updater::updateDataReadProgress);
    connect(transfer, &QNetworkReply::finished, this, [this, transfer, id] {
        saveArrived(transfer);
        if (!writeFailed && !targetFile->flush())
            writeFailed = true;
        const bool error = transfer->error() != QNetworkReply::NoError || refused || writeFailed;
        reply = nullptr;
        transfer->deleteLater();
        httpRequestFinished(id, error);
    });
    return true;
}

void Updater::saveArrived(QNetworkReply* transfer)
{
    if (!transfer->isOpen())
        return;
    const QByteArray bytes = transfer->readAll();
    if (refused || writeFailed)
        return;
    if (targetFile->write(bytes) != bytes.size())
        writeFailed = true;
}

void Updater::startCheck()
{
    step = 1;
    downloadFile(checkAddress, checkFilePath());
}

void Updater::httpRequestFinished(int finishedId, bool error)
{
    if (finishedId != requestId)
        return;
    if (targetFile)
        targetFile->close();

    if (error) {
        UserDialogs::message(this, tr("Could not check for update due to connection error!\n"
                                      "You can download the newest version at\n") +
                                       QLatin1String(makerWebAddress));
        done(0);
        return;
    }

    if (step == 1) {
        parseCheckFile();
        ui->progressBar->setValue(0);
        if (!newVersion && !newRevision) {
            ui->sl_info->setText(QStringLiteral("<b>") +
                                 tr("Your Orthaven Version is up to date!") +
                                 QStringLiteral("</b>"));
            return;
        }
        ui->b_continue->setEnabled(true);
        // The label shows rich text; what the check file says is shown as written, never
        // taken for markup (an image or a link of a hostile server).
        ui->sl_info->setText(QStringLiteral("<b>") +
                             tr("<font color='red'>New Version %1 Revision %2 available!</font>")
                                 .arg(versionText.toHtmlEscaped(), revisionText.toHtmlEscaped()) +
                             QStringLiteral("</b>"));
        step = 2;
    } else if (step == 2) {
        if (packageSha256 && !matchesSha256(packagePath(), *packageSha256)) {
            // Damaged or not the package the check file describes: it is never unpacked.
            QFile::remove(packagePath());
            UserDialogs::message(this, tr("The downloaded package is damaged and has been "
                                          "deleted.\nYou can download the newest version at\n") +
                                           QLatin1String(makerWebAddress));
            done(0);
            return;
        }
        UserDialogs::message(this, tr("New version has been downloaded!"));
        ui->progressBar->setValue(0);
        ui->b_continue->setText(tr("Install"));
        step = 3;
    }
}

void Updater::parseCheckFile()
{
    const UpdateCheckFile file = readUpdateCheckFile(checkFilePath());
    for (const QString& line : file.report)
        printLine(line);
    versionText = file.versionText;
    revisionText = file.revisionText;
    newVersion = isNewer(version, file.version);
    newRevision = isNewer(revision, file.revision);
    if (!file.packageUrl().isEmpty())
        packageAddress = file.packageUrl();
    packageSha256 = file.sha256;
}

void Updater::readResponseHeader(int statusCode)
{
    // A missing file (404), like any other refusal, ends the transfer with an error, and
    // the server's error page is not saved as the file. Aborting the reply from inside
    // its own header signal is not something the access manager copes with.
    if (statusCode >= 400)
        refused = true;
}

void Updater::updateDataReadProgress(qint64 bytesRead, qint64 totalBytes)
{
    // The server may not tell the size (the access manager then reports -1).
    if (totalBytes <= 0)
        return;
    if (ui->progressBar->maximum() != 100)
        ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(static_cast<int>(bytesRead * 100 / totalBytes));
}

void Updater::slotAuthenticationRequired(QNetworkReply*, QAuthenticator*)
{
    // No credentials are supplied, so the transfer fails.
    printLine(QStringLiteral("UPPPPPPSSS .... we need an authentication"));
}

void Updater::installOrthaven()
{
    UserDialogs::message(this, tr("Orthaven will be closed automatically via installation!"));
    // A package that unpacked with errors may hold a damaged installer; it is not run.
    const QString installer =
        unpackPackage(unpacker, packagePath(), tmpFolder) ? findInstaller(tmpFolder) : QString();
    if (!installer.isEmpty()) {
        printLine(QStringLiteral("New Orthaven: ") + installer);
        if (launchInstaller(installer))
            return;
    }
    UserDialogs::message(this, tr("We are sorry. Please download the new Orthaven version from\n") +
                                   QLatin1String(makerWebAddress));
}

bool Updater::launchInstaller(const QString& path)
{
    if (!QProcess::startDetached(path, {}))
        return false;
    // The installer replaces this program's files; nothing of ours may stay running. A
    // layout thread may still be computing, so no static destructor may run under it.
    endProcessNow(0);
}

} // namespace orthaven
