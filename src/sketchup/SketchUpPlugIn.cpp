#include "sketchup/SketchUpPlugIn.h"

#include "platform/DataFolder.h"
#include "uikit/UserDialogs.h"

#include "ui_SketchupPluginForm.h"

#include <QDir>
#include <QFileInfo>

namespace orthaven {

namespace {

// The installer's texts are all translated in its form's context.
QString notFoundText()
{
    return QCoreApplication::translate("SketchupPluginForm",
                                       "Sketchup Folder not found or permission denied");
}

} // namespace

SketchUpPlugIn::SketchUpPlugIn(QWidget* parent) : QDialog(parent), ui(new Ui::SketchupPluginForm)
{
    ui->setupUi(this);
    connect(ui->b_close, &QPushButton::clicked, this, &SketchUpPlugIn::onButton);
    connect(ui->b_install, &QPushButton::clicked, this, &SketchUpPlugIn::onButton);
    connect(ui->b_choose, &QPushButton::clicked, this, &SketchUpPlugIn::onButton);
}

SketchUpPlugIn::~SketchUpPlugIn() = default;

void SketchUpPlugIn::onButton()
{
    const QObject* from = sender();
    if (from == ui->b_close) {
        done(0);
    } else if (from == ui->b_install) {
        ui->b_install->setEnabled(false);
        copyPlugin(chosen);
    } else if (from == ui->b_choose) {
        const QString folder = UserDialogs::existingDirectory(
            this,
            QCoreApplication::translate("SketchupPluginForm", "Select the Google SketchUp Folder"),
            QString());
        if (!folder.isEmpty()) {
            chosen = folder;
            ui->l_folder->setText(chosen);
        }
    }
}

bool SketchUpPlugIn::copyPlugin(const QString& fpath)
{
    failed = false;
    // An empty fpath (nothing chosen yet) would otherwise look for the program in the
    // root folder.
    if (fpath.isEmpty() || !QFileInfo::exists(sketchUpExecutable(fpath))) {
        UserDialogs::message(this, notFoundText());
        ui->b_install->setEnabled(true);
        return false;
    }
    // The companion files are the program's data, whatever the working folder.
    copies = buildPluginCopyList(QDir::toNativeSeparators(dataFolder()), fpath);
    installFiles();
    ui->b_install->setEnabled(true);
    return true;
}

void SketchUpPlugIn::installFiles()
{
    ui->progressBar->setMaximum(static_cast<int>(copies.size()));
    failed = !runPluginCopyList(copies, [this](int step) { ui->progressBar->setValue(step); });
    ui->progressBar->setValue(0);
    ui->sl_info->setText(failed ? notFoundText()
                                : QCoreApplication::translate("SketchupPluginForm",
                                                              "Plugin installed successfully"));
}

} // namespace orthaven
