#include "sketchup/SketchUpPlugIn.h"
#include "support/CaptureDiagnostics.h"
#include "support/GermanTexts.h"
#include "support/TempAppData.h"
#include "uikit/UserDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const QString notFound = "Sketchup Folder not found or permission denied";

// Runs the test from another working folder and goes back afterwards.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString& path) : previous(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }
    ~WorkingFolder() { QDir::setCurrent(previous); }

private:
    QString previous;
};

// A SketchUp installation: the program file and, unless told otherwise, Plugins.
struct FakeSketchUp
{
    explicit FakeSketchUp(bool withPlugins = true)
    {
        writeFile(dir.path() + "/SketchUp.exe", "MZ");
        if (withPlugins)
            QDir().mkpath(dir.path() + "/Plugins");
    }
    QString path() const { return dir.path(); }
    QString plugins(const QString& file) const { return dir.path() + "/Plugins/" + file; }
    QTemporaryDir dir;
};

// Records the state of the dialog while its files are being installed.
class WatchedInstaller : public SketchUpPlugIn
{
public:
    WatchedInstaller()
    {
        auto* bar = findChild<QProgressBar*>("progressBar");
        QObject::connect(bar, &QProgressBar::valueChanged, bar,
                         [this](int value) { progress.append(value); });
    }

    bool installEnabledDuringCopy = true;
    QList<int> progress;

protected:
    void installFiles() override
    {
        installEnabledDuringCopy = findChild<QPushButton*>("b_install")->isEnabled();
        SketchUpPlugIn::installFiles();
    }
};

template <typename T> T* child(QWidget& parent, const char* name)
{
    auto* found = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void browseTo(SketchUpPlugIn& dialog, const QString& folder)
{
    UserDialogs::setNextDirectory(folder);
    child<QPushButton>(dialog, "b_choose")->click();
}

class Installer : public ::testing::Test
{
protected:
    void SetUp() override { UserDialogs::clearScript(); }
    void TearDown() override { UserDialogs::clearScript(); }
};

} // namespace

TEST_F(Installer, FormCarriesItsNamesAndTexts)
{
    SketchUpPlugIn dialog;
    EXPECT_EQ(dialog.windowTitle(), "SketchUp Plugin Installation Dialog");
    EXPECT_EQ(dialog.size(), QSize(531, 203));
    EXPECT_EQ(dialog.parent(), nullptr);
    EXPECT_EQ(child<QGroupBox>(dialog, "groupBox")->title(), "SketchUp Plugin Installation");
    EXPECT_EQ(child<QLabel>(dialog, "label")->text(),
              "Please select the Google SketchUp folder you want to install the plugin ...");
    EXPECT_TRUE(child<QLineEdit>(dialog, "l_folder")->isReadOnly());
    EXPECT_TRUE(child<QLineEdit>(dialog, "l_folder")->text().isEmpty());
    EXPECT_EQ(child<QPushButton>(dialog, "b_choose")->text(), "Browse");
    EXPECT_EQ(child<QLabel>(dialog, "l_status")->text(),
              "For instance ... C:/Program Files/Google/Google SketchUp 7");
    auto* bar = child<QProgressBar>(dialog, "progressBar");
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_TRUE(child<QLabel>(dialog, "sl_info")->text().isEmpty());
    EXPECT_EQ(child<QPushButton>(dialog, "b_install")->text(), "Install");
    EXPECT_EQ(child<QPushButton>(dialog, "b_close")->text(), "Close");
}

TEST_F(Installer, BrowseShowsTheChosenFolderAndCancelKeepsIt)
{
    SketchUpPlugIn dialog;
    browseTo(dialog, "/somewhere/Google SketchUp 7");
    EXPECT_EQ(dialog.chosenFolder(), "/somewhere/Google SketchUp 7");
    EXPECT_EQ(child<QLineEdit>(dialog, "l_folder")->text(), "/somewhere/Google SketchUp 7");
    child<QPushButton>(dialog, "b_choose")->click(); // no prepared answer: cancelled
    EXPECT_EQ(dialog.chosenFolder(), "/somewhere/Google SketchUp 7");
}

TEST_F(Installer, InstallsIntoAFreshSketchUpFolder)
{
    FakeSketchUp sketchUp;
    WatchedInstaller dialog;
    browseTo(dialog, sketchUp.path());
    CaptureDiagnostics out;
    child<QPushButton>(dialog, "b_install")->click();

    EXPECT_FALSE(dialog.installEnabledDuringCopy);
    EXPECT_TRUE(child<QPushButton>(dialog, "b_install")->isEnabled());
    EXPECT_EQ(dialog.progress, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0}));
    EXPECT_EQ(child<QProgressBar>(dialog, "progressBar")->maximum(), 12);
    EXPECT_EQ(child<QLabel>(dialog, "sl_info")->text(), "Plugin installed successfully");
    EXPECT_FALSE(dialog.installFailed());
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());

    const QString sources = QCoreApplication::applicationDirPath() + "/plugins/skpplugin/";
    for (const char* file :
         {"orthaven.rbs", "orthavendata/createtoolbar.rbs", "orthavendata/base.rbs",
          "orthavendata/layout_LG.png", "orthavendata/autodeloff_SM.png"}) {
        const QByteArray copied = readFile(sketchUp.plugins(file));
        EXPECT_FALSE(copied.isEmpty()) << file;
        EXPECT_EQ(copied, readFile(sources + file)) << file;
    }
    EXPECT_EQ(out.lines().size(), 22);
}

TEST_F(Installer, AnExistingDataFolderIsNotCreatedAgain)
{
    FakeSketchUp sketchUp;
    QDir().mkpath(sketchUp.plugins("orthavendata"));
    writeFile(sketchUp.plugins("orthaven.rbs"), "from an earlier installation");
    WatchedInstaller dialog;
    browseTo(dialog, sketchUp.path());
    CaptureDiagnostics out;
    child<QPushButton>(dialog, "b_install")->click();

    EXPECT_EQ(dialog.copyList().size(), 11u);
    EXPECT_EQ(dialog.progress, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0}));
    EXPECT_EQ(child<QLabel>(dialog, "sl_info")->text(), "Plugin installed successfully");
    EXPECT_NE(readFile(sketchUp.plugins("orthaven.rbs")), "from an earlier installation");

    // Installing again replaces the files and runs the same eleven steps.
    dialog.progress.clear();
    child<QPushButton>(dialog, "b_install")->click();
    EXPECT_EQ(dialog.copyList().size(), 11u);
    EXPECT_EQ(dialog.progress.size(), 12);
}

TEST_F(Installer, AFolderWithoutSketchUpGetsTheMessageAndNoFile)
{
    QTemporaryDir notSketchUp;
    QDir().mkpath(notSketchUp.path() + "/Plugins");
    WatchedInstaller dialog;
    browseTo(dialog, notSketchUp.path());
    child<QPushButton>(dialog, "b_install")->click();

    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages()[0].title, "");
    EXPECT_EQ(UserDialogs::shownMessages()[0].text, notFound);
    EXPECT_EQ(UserDialogs::shownMessages()[0].parent, &dialog) << "modal to the installer";
    EXPECT_TRUE(dialog.progress.isEmpty());
    EXPECT_TRUE(child<QPushButton>(dialog, "b_install")->isEnabled());
    EXPECT_TRUE(child<QLabel>(dialog, "sl_info")->text().isEmpty());
    EXPECT_TRUE(QDir(notSketchUp.path() + "/Plugins").isEmpty());
}

TEST_F(Installer, InstallWithoutAChosenFolderGetsTheMessage)
{
    SketchUpPlugIn dialog;
    EXPECT_FALSE(dialog.copyPlugin(dialog.chosenFolder()));
    EXPECT_EQ(UserDialogs::shownTexts(), QStringList{notFound});
    EXPECT_TRUE(dialog.copyList().empty());
}

TEST_F(Installer, ASketchUpFolderWithoutPluginsFailsAtTheDataFolder)
{
    FakeSketchUp sketchUp(false);
    WatchedInstaller dialog;
    browseTo(dialog, sketchUp.path());
    CaptureDiagnostics out;
    EXPECT_TRUE(dialog.copyPlugin(sketchUp.path()));

    EXPECT_TRUE(dialog.installFailed());
    EXPECT_EQ(dialog.progress, (QList<int>{1, 0}));
    EXPECT_EQ(child<QLabel>(dialog, "sl_info")->text(), notFound);
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
    EXPECT_EQ(QDir(sketchUp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"SketchUp.exe"});
}

TEST_F(Installer, FindsTheScriptsInTheProgramsDataWhateverTheWorkingFolder)
{
    QTemporaryDir elsewhere;
    WorkingFolder away(elsewhere.path());
    FakeSketchUp sketchUp;
    WatchedInstaller dialog;
    browseTo(dialog, sketchUp.path());
    CaptureDiagnostics out;
    child<QPushButton>(dialog, "b_install")->click();

    EXPECT_FALSE(dialog.installFailed());
    EXPECT_EQ(child<QLabel>(dialog, "sl_info")->text(), "Plugin installed successfully");
    EXPECT_EQ(readFile(sketchUp.plugins("orthavendata/base.rbs")),
              readFile(QCoreApplication::applicationDirPath() +
                       "/plugins/skpplugin/orthavendata/base.rbs"));
}

TEST_F(Installer, CloseEndsTheDialogRejected)
{
    SketchUpPlugIn dialog;
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    child<QPushButton>(dialog, "b_close")->click();
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0][0].toInt(), 0);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Installer, SpeaksGermanWithTheGermanTranslation)
{
    GermanTexts german;
    ASSERT_TRUE(german.isLoaded());
    FakeSketchUp sketchUp(false);
    SketchUpPlugIn dialog;
    EXPECT_EQ(dialog.windowTitle(), "Installation des SketchUp-Plugins");
    EXPECT_EQ(child<QPushButton>(dialog, "b_choose")->text(), "Durchsuchen");
    CaptureDiagnostics out;
    dialog.copyPlugin(sketchUp.path());
    EXPECT_EQ(child<QLabel>(dialog, "sl_info")->text(),
              "SketchUp-Ordner nicht gefunden oder Zugriff verweigert");
}
