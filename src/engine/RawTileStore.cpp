#include "engine/RawTileStore.h"

namespace orthaven {

RawTileStore::~RawTileStore() = default;

void RawTileStore::dropTile(int, int) {}

} // namespace orthaven
