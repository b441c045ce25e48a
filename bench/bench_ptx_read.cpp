// PTX throughput: indexes and reads a large generated PTX file through ScanSourcePTX, the
// way the layout engine does (openScan, readPoints until false), and reports points per
// second and MB/s. The file is generated once into the temporary folder and reused.
//
// Own options (before Google Benchmark's):
//   --ptx-points=N   points in the generated file (default 4000000)
//   --ptx-file=PATH  read this file instead (generated there when missing)

#include "ReadAllScans.h"
#include "genscan/GenScanJob.h"
#include "scan/ScanSourcePTX.h"

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
    options.baseName = info.completeBaseName();
    options.oneFile = true;
    options.stations = 1;
    options.intensity = true;
    options.colour = true;
    options.pointsPerColumn = 2500; // a fine terrestrial scan: 2500 points per column
    options.columns = int(std::max<qint64>(1, points / options.pointsPerColumn));
    std::cout << "Generating " << benchFile.toStdString() << " ("
              << qint64(options.columns) * options.pointsPerColumn << " points) ..." << std::endl;
    orthaven::genscan::GenScanJob job(options);
    if (!job.run()) {
        std::cerr << job.errorText().toStdString() << std::endl;
        return false;
    }
    return true;
}

void silence(std::ostream& out, std::streambuf*& saved)
{
    saved = out.rdbuf(nullptr);
}

void BM_PtxIndex(benchmark::State& state)
{
    const double bytes = double(QFileInfo(benchFile).size());
    std::streambuf* saved = nullptr;
    silence(std::cout, saved); // the reader's header lines
    int scans = 0;
    for (auto _ : state) {
        orthaven::ScanSourcePTX reader;
        reader.fetchFiles({benchFile});
        scans = reader.scanCount();
        benchmark::DoNotOptimize(scans);
    }
    std::cout.rdbuf(saved);
    state.counters["MB/s"] =
        benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["scans"] = scans;
}

void BM_PtxReadPoints(benchmark::State& state)
{
    const double bytes = double(QFileInfo(benchFile).size());
    std::streambuf* saved = nullptr;
    silence(std::cout, saved);
    orthaven::ScanSourcePTX reader;
    reader.fetchFiles({benchFile});
    double points = 0;
    double sum = 0;
    for (auto _ : state) {
        const orthaven::bench::ReadTotals totals = orthaven::bench::readAllScans(reader);
        points = double(totals.points);
        sum += totals.checksum;
    }
    benchmark::DoNotOptimize(sum);
    std::cout.rdbuf(saved);
    state.counters["points/s"] =
        benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB/s"] =
        benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["points"] = points;
    state.counters["bytes"] = bytes;
}

BENCHMARK(BM_PtxIndex)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtxReadPoints)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qint64 points = 4000000;
    std::vector<char*> rest;
    for (int k = 0; k < argc; ++k) {
        if (std::strncmp(argv[k], "--ptx-points=", 13) == 0)
            std::from_chars(argv[k] + 13, argv[k] + std::strlen(argv[k]), points);
        else if (std::strncmp(argv[k], "--ptx-file=", 11) == 0)
            benchFile = QString::fromLocal8Bit(argv[k] + 11);
        else
            rest.push_back(argv[k]);
    }
    if (benchFile.isEmpty()) {
        benchFile = QDir(QDir::tempPath())
                        .filePath(QStringLiteral("orthaven-bench/ptx_read_%1.ptx").arg(points));
    }
    if (!prepareFile(points))
        return 1;
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
