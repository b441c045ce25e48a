#pragma once
// The dialog that installs our companion scripts and tool-bar images into a SketchUp
// installation: the user browses to the SketchUp folder, and "Install" copies the files
// from the program's tree below the working folder into SketchUp's Plugins folder.

#include "sketchup/PluginCopyList.h"

#include <QDialog>

#include <memory>

namespace Ui {
class SketchupPluginForm;
}

namespace orthaven {

class SketchUpPlugIn : public QDialog
{
    Q_OBJECT
public:
    // Modal to parent's window (the main window), so the focus goes back there afterwards.
    explicit SketchUpPlugIn(QWidget* parent = nullptr);
    ~SketchUpPlugIn() override;

    // Builds the copy list for the SketchUp folder fpath and performs it. False, with a
    // message box and nothing copied, when fpath holds no SketchUp program; true
    // otherwise, also when the copy failed (the result line tells the user).
    bool copyPlugin(const QString& fpath);

    QString chosenFolder() const { return chosen; }
    const PluginCopyList& copyList() const { return copies; }
    bool installFailed() const { return failed; }

public slots:
    void onButton();

protected:
    // Walks the copy list with the progress bar and shows the outcome in the result line.
    virtual void installFiles();

private:
    std::unique_ptr<Ui::SketchupPluginForm> ui;
    PluginCopyList copies;
    QString chosen;
    bool failed = false;
};

} // namespace orthaven
