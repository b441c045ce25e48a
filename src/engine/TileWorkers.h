#pragma once
// Runs the per-tile work of a stage on several threads. Tiles are handed out in
// increasing order, each to one thread; what a tile's work writes is its own, so the
// result is the same for any number of threads. A tile whose work returns false (a stop,
// a failure) ends the handing out: the tiles already begun finish, no new one starts.

#include <functional>

namespace orthaven {

// Calls work(i) for i = 0 … count - 1 on up to `threads` threads, the calling thread
// among them (threads 1: all on the calling thread, in order). Returns when every call
// begun has returned. An exception thrown by a call ends the handing out and is thrown
// again here, on the calling thread.
void forEachTile(int count, int threads, const std::function<bool(int)>& work);

} // namespace orthaven
