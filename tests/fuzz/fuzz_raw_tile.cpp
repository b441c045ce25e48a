// The raw tile files the engine keeps in its session folder, loaded back.

#include "FuzzSupport.h"

#include "engine/RawSums.h"
#include "engine/RawTileFile.h"

#include <cstdlib>
#include <iostream>

using namespace orthaven;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("orvnTile_0_0.tmp"));
    const cv::Mat tile = loadRawTile(path);
    if (tile.empty())
        return 0;
    if ((tile.type() != rawCellType(8) && tile.type() != rawCellType(16)) || !tile.isContinuous()) {
        std::cerr << "a raw tile came back as type " << tile.type() << std::endl;
        std::abort();
    }
    fuzz::touch(tile.data, tile.total() * tile.elemSize());
    return 0;
}
