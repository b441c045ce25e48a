#pragma once
// The raw tile file, the format in which raw tiles leave memory, and the image allocation
// every stage uses, which turns an out-of-memory condition into "no image".
//
// Raw tile file (binary, little-endian): int32 width, int32 height, int32 bytes per value
// (8: a 64-bit sum, 16: a 128-bit sum, see engine/RawSums.h), then one block per run of
// ten consecutive pixel values in row order. A block is the int32 10 (all ten values 0)
// or the int32 -10 followed by the ten values as two's complement integers. When w·h is
// not a multiple of ten, a last block holds the w·h mod 10 values that are left (the
// marker, then that many values), so a tile that goes through a file comes back with
// every value: where a tile is kept never changes a layout.
//
// Images are cv::Mat: raw tiles of rawCellType(8 or 16), CV_8UC1 grey tiles, CV_8UC3
// colour tiles; "no image" is an empty Mat.

#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>

namespace orthaven {

// No single image allocateImage hands out is larger than this.
inline constexpr std::int64_t maxImageBytes = std::int64_t(2) << 30;

// prefix + U + "_" + V + suffix, e.g. "orvnTile_-3_12.tmp".
QString tileFileName(const QString& prefix, int U, int V, const QString& suffix);

// The raw tile stored at path; empty when the file cannot be opened, or when it is
// truncated, longer than its header says, carries a bad block marker or claims a size
// that no raw tile has (such a file is rejected with a console line, never trusted).
cv::Mat loadRawTile(const QString& path);
// False when image is not a raw tile or the file cannot be written completely.
bool storeRawTile(const QString& path, const cv::Mat& image);

// A zeroed image of depth 8 (CV_8UC1), 24 (CV_8UC3), 64 or 128 (raw tiles of 64- and
// 128-bit sums) bits. When the
// memory cannot be had (or the image would exceed maxImageBytes) prints
// "Can not allocate <bytes> Bytes" and returns no image.
cv::Mat allocateImage(int depth, int w, int h);

} // namespace orthaven
