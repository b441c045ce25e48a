#include "engine/RawTileStore.h"

namespace orthaven {

RawTileStore::~RawTileStore() = default;

} // namespace orthaven
