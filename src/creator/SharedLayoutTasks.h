#pragma once
// Layout tasks of the same scans computed from one reading of them: every task keeps its
// job, thread, stop, status record, overview pictures, damaged scans and result, and
// writes the bytes it would write alone, but reads its scans through a view of one shared
// reading (engine/SharedScans.h), so each scan is read once for all of them. The tasks
// share the threads and the memory budget of the first job in equal parts. A job file of
// orthaven-layout and the window's batch list compute their jobs of the same scan files so.

#include "creator/LayoutTask.h"
#include "engine/SharedScans.h"

#include <memory>
#include <vector>

namespace orthaven {

class SharedLayoutTasks
{
public:
    // listed: the scans of every task's job (fetchFiles done), not read by anyone else
    // until this object is gone; tasks: their jobs set (threads and memory are shared out
    // here), not running.
    SharedLayoutTasks(ScanSource& listed, std::vector<LayoutTask*> tasks);
    // Stops and waits for the tasks still running, then ends the reading.
    ~SharedLayoutTasks();
    SharedLayoutTasks(const SharedLayoutTasks&) = delete;
    SharedLayoutTasks& operator=(const SharedLayoutTasks&) = delete;

    // Starts every task's computation.
    void start();
    // Waits up to milliseconds; true once every task has ended. A task that has ended no
    // longer holds the reading back.
    bool wait(unsigned long milliseconds);

private:
    std::vector<LayoutTask*> tasks;
    std::unique_ptr<SharedScans> reading;
    std::vector<bool> left;
};

} // namespace orthaven
