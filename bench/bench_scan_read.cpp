// A plain read of scan files: lists their scans and pulls every point through the reader
// in the chunks the layout engine asks for, doing nothing else with them. The end-to-end
// benchmark sets its time beside that of a whole layout of the same files.
//
//   bench_scan_read FILE...    prints "points N", "list S s" and "read S s"

#include "ReadAllScans.h"
#include "scan/ScanSourceFactory.h"

#include <QStringList>

#include <chrono>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    QStringList files;
    for (int k = 1; k < argc; ++k)
        files.append(QString::fromLocal8Bit(argv[k]));
    if (files.isEmpty()) {
        std::cerr << "usage: bench_scan_read FILE..." << std::endl;
        return 2;
    }
    auto reader = orthaven::createScanSource(files.first());
    if (!reader) {
        std::cerr << "bench_scan_read: no reader for " << argv[1] << std::endl;
        return 2;
    }

    // The reader's diagnostic lines are not part of the figures.
    std::ostringstream quiet;
    std::streambuf* saved = std::cout.rdbuf(quiet.rdbuf());
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const bool listed = reader->fetchFiles(files);
    const auto afterList = Clock::now();
    const orthaven::bench::ReadTotals totals =
        listed ? orthaven::bench::readAllScans(*reader) : orthaven::bench::ReadTotals{};
    const auto end = Clock::now();
    std::cout.rdbuf(saved);
    if (!listed) {
        std::cerr << "bench_scan_read: could not read the files" << std::endl;
        return 1;
    }
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::cout << "points " << totals.points << "\n"
              << "list " << seconds(afterList - start) << " s\n"
              << "read " << seconds(end - afterList) << " s\n"
              << "checksum " << totals.checksum << std::endl;
    return 0;
}
