#include "scan/faro/FaroLibrary.h"

#include "scan/faro/FaroStandInLibrary.h"

namespace orthaven {

FaroLibrary::~FaroLibrary() = default;

std::unique_ptr<FaroLibrary> createFaroLibrary()
{
    return std::make_unique<FaroStandInLibrary>();
}

} // namespace orthaven
