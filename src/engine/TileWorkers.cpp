#include "engine/TileWorkers.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orthaven {

void forEachTile(int count, int threads, const std::function<bool(int)>& work)
{
    std::atomic<int> next{0};
    std::atomic<bool> halt{false};
    std::mutex errorLock;
    std::exception_ptr error;
    const auto worker = [&] {
        while (!halt) {
            const int i = next++;
            if (i >= count)
                break;
            try {
                if (!work(i))
                    halt = true;
            } catch (...) {
                const std::lock_guard<std::mutex> guard(errorLock);
                if (!error)
                    error = std::current_exception();
                halt = true;
            }
        }
    };
    std::vector<std::thread> helpers;
    const int extra = std::min(threads, count) - 1;
    for (int k = 0; k < extra; ++k)
        helpers.emplace_back(worker);
    worker();
    for (std::thread& helper : helpers)
        helper.join();
    if (error)
        std::rethrow_exception(error);
}

} // namespace orthaven
