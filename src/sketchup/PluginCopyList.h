#pragma once
// What the SketchUp script installer copies into a SketchUp folder, and the walk that
// copies it. The installer dialog only shows the walk's progress and its outcome.

#include <QString>

#include <functional>
#include <vector>

namespace orthaven {

// One step of an installation: a file copied from source to destination, or, when the
// destination ends with the path separator, a folder to create (source unused).
struct PluginCopyEntry
{
    QString source;
    QString destination;

    bool isFolder() const;
};

using PluginCopyList = std::vector<PluginCopyEntry>;

// The SketchUp program file whose presence marks a SketchUp folder.
QString sketchUpExecutable(const QString& sketchUpFolder);

// The installation for sketchUpFolder with the companion files below
// base/plugins/skpplugin: the data folder Plugins/orthavendata first when it is missing
// (Plugins itself must exist), then the loader script, the two data scripts and the
// eight tool-bar images, in that order. Paths use the platform's separator.
PluginCopyList buildPluginCopyList(const QString& base, const QString& sketchUpFolder);

// Performs the entries in order: creates a folder (one level), or prints the source and
// the destination path on their own lines and copies, replacing an existing destination
// file only with a complete copy. Stops at the first entry that fails, leaving that
// entry's destination as it was. onStep(i + 1) is called before entry i. Returns false
// when an entry failed; entries done before it stay in place.
bool runPluginCopyList(const PluginCopyList& list, const std::function<void(int)>& onStep = {});

} // namespace orthaven
