#pragma once
// What every fuzz target shares: a quiet process, a folder of its own for the files the
// parsers are given, and the way the layout engine lists and reads scans.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orthaven {
class ScanSource;
}

namespace orthaven::fuzz {

// Silences the diagnostic lines, std::cout and Qt's non-fatal messages: the parsers
// report every bad input, and libFuzzer's own lines would drown in them.
void quiet();

// This process's work folder (created below the system's temporary folder on first use,
// removed at exit).
QString workFolder();

// Copies the fixture folder tests/fuzz/<name>, with its sub-folders, into the work
// folder: the files an input may name (scan files of an index or a project).
void copyFixtures(const QString& name);

// Writes the input to fileName in the work folder and returns its path.
QString writeInput(const std::uint8_t* data, std::size_t size, const QString& fileName);

// Lists the scans with their names and dimensions, then opens every scan, takes its pose,
// reads all its points chunk by chunk as the layout engine does, reads them all once more
// after a rewind with intensity and colour, and closes it. Every value delivered is read.
void readEveryScan(ScanSource& source);

// Recomputes the CRC-32C that closes every whole page of an E57 file (page size from the
// file header, stored big-endian in the page's last four bytes).
void sealE57Pages(std::vector<std::uint8_t>& bytes);

// Reads every byte of size bytes at data, so that a buffer shorter than claimed shows.
void touch(const void* data, std::size_t size);

} // namespace orthaven::fuzz
