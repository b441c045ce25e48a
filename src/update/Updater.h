#pragma once
// The update checker: a small modal dialog that fetches the check file from the maker's
// update server, tells whether a newer version or revision exists, downloads its
// package on request, unpacks it and starts the installer in it, ending the program.

#include "update/UpdateServer.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

class QAuthenticator;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class UpdaterForm;
}

namespace orthaven {

class Updater : public QDialog
{
    Q_OBJECT
public:
    // Starts the check at once. server is the scheme and host (and port) the check
    // file is fetched from; only tests point it elsewhere.
    Updater(double version, double revision, const QString& server = updateServerUrl(),
            QWidget* parent = nullptr);
    ~Updater() override;

    double currentVersion() const { return version; }
    double currentRevision() const { return revision; }
    // 1 checking, 2 update offered or downloading, 3 downloaded.
    int phase() const { return step; }
    QString checkUrl() const { return checkAddress; }
    QString packageUrl() const { return packageAddress; }
    QString checkFilePath() const;
    QString packagePath() const;

    // The 7-Zip command-line program used to unpack the package (defaultUnpacker()).
    void setUnpacker(const QString& program) { unpacker = program; }

public slots:
    void onButton();
    bool downloadFile(const QString& urlpath, const QString& targetfile);
    void startCheck();
    void httpRequestFinished(int requestId, bool error);
    void readResponseHeader(int statusCode);
    void updateDataReadProgress(qint64 bytesRead, qint64 totalBytes);
    void slotAuthenticationRequired(QNetworkReply* reply, QAuthenticator* authenticator);
    void installOrthaven();

protected:
    // Starts the installer as a process of its own and ends this program at once with
    // exit code 0 (endProcessNow). Returns false, and lets the program run on, only when
    // it could not be started. Tests replace it, so that they do not end.
    virtual bool launchInstaller(const QString& path);

private:
    void parseCheckFile();
    void saveArrived(QNetworkReply* transfer);
    void dropTransfer();

    std::unique_ptr<Ui::UpdaterForm> ui;
    double version;
    double revision;
    bool newVersion = false;
    bool newRevision = false;
    QString versionText;
    QString revisionText;
    int step = 1;
    QString tmpFolder;
    QString checkAddress;
    QString packageAddress;
    std::optional<QString> packageSha256; // when the check file names the package's digest
    QString unpacker;
    QNetworkAccessManager* http = nullptr;
    QNetworkReply* reply = nullptr;
    std::unique_ptr<QFile> targetFile;
    bool writeFailed = false; // the target file could not be written
    bool refused = false;     // the server answered with an error status
    int requestId = 0;
};

} // namespace orthaven
