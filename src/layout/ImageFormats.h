#pragma once
// The image formats a layout can be written in, in one table: the file suffix (which is
// also the job's imageType and the command line's --type), the writer and its options.
// The engine, the dock, the command line and the overview sheet all look formats up here.

#include <QString>
#include <QStringList>

#include <array>

namespace orthaven {

struct ImageFormat
{
    const char* suffix;       // "png": file ending
    const char* label;        // the dock's name of the format (context "LayoutForm")
    const char* writerFormat; // the image writer's name of the format
    int compression;          // the writer's compression setting; -1: its default
    int quality;              // the writer's quality setting; -1: its default
    bool lossless;            // the file gives back the pixels that were written
};

// In the order the dock offers them; the first is the default.
const std::array<ImageFormat, 3>& imageFormats();
// The entry for a suffix (compared without regard to case); null for none.
const ImageFormat* imageFormatFor(const QString& suffix);
// "png", "jpg", "tif"
QStringList imageFormatSuffixes();

} // namespace orthaven
