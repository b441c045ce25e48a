#include "scan/faro/FaroScanObject.h"

namespace orthaven {

FaroScanObject::~FaroScanObject() = default;

} // namespace orthaven
