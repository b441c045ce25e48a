#pragma once
// The temporary session folder of one layout run, the raw tile file format, image
// allocation that turns an out-of-memory condition into "no image", and the writers of
// finished images (PNG, JPEG, TIFF).

#include <QImage>
#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>

namespace orthaven {

// Raw tile file (binary, little-endian): int32 width, int32 height, then one block per
// run of ten consecutive pixel values in row order, floor(w·h / 10) blocks in all. A
// block is the int32 10 (all ten values equal the empty value) or the int32 -10
// followed by the ten values as 32-bit floats. The last w·h mod 10 values are not stored
// and read back as 0.0.
//
// Images are cv::Mat: CV_32FC1 raw tiles, CV_8UC1 grey tiles, CV_8UC3 colour images
// (channel 0 red); "no image" is an empty Mat. Images handed out belong to the caller.
class ImageCache
{
public:
    // No single image allocateImage hands out is larger than this.
    static constexpr std::int64_t maxImageBytes = std::int64_t(2) << 30;

    ImageCache() = default;
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // The temporary folder ("<appdata>/Brandmoor/Orthaven/tmp/"), followed by
    // sessionName + "/" while a session exists. Always ends with "/".
    QString tempPath() const;
    QString sessionName() const { return session; }
    bool hasSession() const { return !session.isEmpty(); }

    // Creates a session folder named after the local time of day ("hhmmsszzz") inside the
    // temporary folder, with this process's owner record as its first file (see
    // SessionFolders.h). A folder of that name that already exists is never reused (it
    // could hold another run's tiles): the name of a later millisecond is taken instead.
    // False when no folder could be created; there is then no session.
    bool createSession();
    // Deletes every file in the current folder; removes the session folder and ends the
    // session when one exists.
    void cleanFiles();

    // The raw tile (U, V) from its file in the current folder, or a new w × h image of
    // 0.0 when there is no usable file of that size; empty only when memory runs out.
    cv::Mat getImage(int U, int V, int w, int h, const QString& prefix);
    // Writes the raw tile to its file with the empty value 0.0. False when it could not be
    // written completely (the tile's data is then lost).
    bool releaseImage(const QString& prefix, int U, int V, const cv::Mat& image);
    // tempPath() + prefix + U + "_" + V + ".tmp"
    QString rawTilePath(const QString& prefix, int U, int V) const;

    // The raw tile stored at path; empty when the file cannot be opened, or when it is
    // truncated, longer than its header says, carries a bad block marker or claims a size
    // that no raw tile has (such a file is rejected with a console line, never trusted).
    static cv::Mat loadRawTile(const QString& path);
    // False when image is not a CV_32FC1 image or the file cannot be written completely.
    static bool storeRawTile(const QString& path, const cv::Mat& image, float emptyValue);
    // A zeroed single-channel image of depth 8 (CV_8UC1) or 32 (CV_32FC1) bits. When the
    // memory cannot be had (or the image would exceed maxImageBytes) prints
    // "Can not allocate <bytes> Bytes" and returns no image.
    static cv::Mat allocateImage(int depth, int w, int h);
    // Writes a CV_8UC1 image as indexed colour with a grey palette, or a CV_8UC3 image as
    // 24-bit RGB, the way saveQImage does ("USE WRITER" before a TIFF).
    static bool saveIplImage(const QString& path, const cv::Mat& image);
    // A path ending in ".tif" (lower case) is written by the TIFF writer with LZW
    // compression ("failed to write TIFF" on failure); any other path in the format its
    // suffix names, default quality. The file is replaced only when the whole image was
    // written; false otherwise.
    static bool saveQImage(const QString& path, const QImage& image);
    // The QImage saveIplImage writes (null for other image types).
    static QImage toQImage(const cv::Mat& image);

private:
    QString session;       // empty: no session
    QString sessionFolder; // the session's folder, with "/", while a session exists
};

} // namespace orthaven
