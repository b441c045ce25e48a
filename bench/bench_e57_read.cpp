// E57 throughput: lists and reads a large generated E57 file through ScanSourceE57, the
// way the layout engine does (openScan, readPoints until false), and reports points per
// second and MB/s. The scene, grid and extras are those of the PTX and PTG benchmarks, so
// the three read the same scan. The file is generated once and reused.
//
// Own options (before Google Benchmark's):
//   --e57-points=N   grid cells in the generated file (default 4000000)
//   --e57-file=PATH  read this file instead (generated there when missing)

#include "ReadAllScans.h"
#include "diag/Diagnostics.h"
#include "genscan/GenScanJob.h"
#include "scan/ScanSourceE57.h"

#include <QDir>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

QString benchFile;

bool prepareFile(qint64 points)
{
    if (QFileInfo::exists(benchFile))
        return true;
    orthaven::genscan::GenScanOptions options;
    const QFileInfo info(benchFile);
    options.outputFolder = info.absolutePath();
    options.format = QStringLiteral("e57");
    options.baseName = info.completeBaseName();
    options.oneFile = true;
    options.stations = 1;
    options.intensity = true;
    options.colour = true;
    options.pointsPerColumn = 2500; // as the PTX benchmark
    options.columns = int(std::max<qint64>(1, points / options.pointsPerColumn));
    std::cout << "Generating " << benchFile.toStdString() << " ("
              << qint64(options.columns) * options.pointsPerColumn << " grid cells) ..."
              << std::endl;
    orthaven::genscan::GenScanJob job(options);
    if (!job.run()) {
        std::cerr << job.errorText().toStdString() << std::endl;
        return false;
    }
    return true;
}

void BM_E57Index(benchmark::State& state)
{
    const orthaven::diag::ScopedSink quiet([](orthaven::diag::Severity, std::string_view) {});
    int scans = 0;
    for (auto _ : state) {
        orthaven::ScanSourceE57 reader;
        reader.fetchFiles({benchFile});
        scans = reader.scanCount();
        benchmark::DoNotOptimize(scans);
    }
    state.counters["scans"] = scans;
}

void BM_E57ReadPoints(benchmark::State& state)
{
    const double bytes = double(QFileInfo(benchFile).size());
    const orthaven::diag::ScopedSink quiet([](orthaven::diag::Severity, std::string_view) {});
    orthaven::ScanSourceE57 reader;
    reader.fetchFiles({benchFile});
    double points = 0;
    double sum = 0;
    for (auto _ : state) {
        const orthaven::bench::ReadTotals totals = orthaven::bench::readAllScans(reader);
        points = double(totals.points);
        sum += totals.checksum;
    }
    benchmark::DoNotOptimize(sum);
    state.counters["points/s"] =
        benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB/s"] =
        benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["points"] = points;
    state.counters["bytes"] = bytes;
}

BENCHMARK(BM_E57Index)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_E57ReadPoints)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qint64 points = 4000000;
    std::vector<char*> rest;
    for (int k = 0; k < argc; ++k) {
        if (std::strncmp(argv[k], "--e57-points=", 13) == 0)
            std::from_chars(argv[k] + 13, argv[k] + std::strlen(argv[k]), points);
        else if (std::strncmp(argv[k], "--e57-file=", 11) == 0)
            benchFile = QString::fromLocal8Bit(argv[k] + 11);
        else
            rest.push_back(argv[k]);
    }
    if (benchFile.isEmpty()) {
        benchFile = QDir(QDir::tempPath())
                        .filePath(QStringLiteral("orthaven-bench/e57_read_%1.e57").arg(points));
    }
    if (!prepareFile(points))
        return 1;
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
