// One fuzz target per scan format: the input is a scan file (or an index or project file)
// with the extension ORTHAVEN_FUZZ_EXTENSION, opened by the reader the program picks for
// that extension; every scan it lists is read to its last point. ORTHAVEN_FUZZ_FILES names
// a fixture folder (scan files an index or project may name) copied beside the input.

#include "FuzzSupport.h"

#include "scan/ScanSourceFactory.h"

#include <cstdlib>
#include <iostream>
#include <string_view>
#include <vector>

using namespace orthaven;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet();
    if (QLatin1String(ORTHAVEN_FUZZ_FILES).size() > 0)
        fuzz::copyFixtures(QStringLiteral(ORTHAVEN_FUZZ_FILES));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QString path;
    if (std::string_view(ORTHAVEN_FUZZ_EXTENSION) == ".e57") {
        // Nearly every change would break a page checksum and stop the reader at the first
        // page; sealed again, the changes reach the XML and the points behind them.
        std::vector<std::uint8_t> sealed(data, data + size);
        fuzz::sealE57Pages(sealed);
        path = fuzz::writeInput(sealed.data(), sealed.size(), QStringLiteral("input.e57"));
    } else {
        path = fuzz::writeInput(data, size, QStringLiteral("input" ORTHAVEN_FUZZ_EXTENSION));
    }
    std::unique_ptr<ScanSource> source = createScanSource(path);
    if (!source) {
        std::cerr << "no reader for " ORTHAVEN_FUZZ_EXTENSION " files" << std::endl;
        std::abort();
    }
    // No exception may leave the reader's doors: one that does ends the run as a crash.
    if (source->fetchFiles({path}))
        fuzz::readEveryScan(*source);
    return 0;
}
