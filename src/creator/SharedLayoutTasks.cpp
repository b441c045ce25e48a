#include "creator/SharedLayoutTasks.h"

#include <QThread>

#include <algorithm>

namespace orthaven {

SharedLayoutTasks::SharedLayoutTasks(ScanSource& listed, std::vector<LayoutTask*> computing)
    : tasks(std::move(computing)), left(tasks.size(), false)
{
    std::vector<LayoutJob*> jobs;
    std::vector<QBitArray> selections;
    for (LayoutTask* task : tasks) {
        jobs.push_back(&task->job);
        selections.push_back(task->job.scanList);
    }
    // The reader may use every thread the jobs share.
    const int threads = tasks.empty() || tasks.front()->job.threads <= 0
                            ? QThread::idealThreadCount()
                            : tasks.front()->job.threads;
    listed.setReadThreads(threads);
    LayoutEngine::shareMachine(jobs);
    reading = std::make_unique<SharedScans>(listed, selections, LayoutEngine::channelsRead(jobs),
                                            RunSettings::maxColumnsPerChunk,
                                            LayoutEngine::sharedReadingPoints());
    for (std::size_t k = 0; k < tasks.size(); ++k)
        tasks[k]->readFrom(&reading->view(int(k)));
}

SharedLayoutTasks::~SharedLayoutTasks()
{
    for (LayoutTask* task : tasks)
        task->requestStop();
    while (!wait(100)) {
    }
    for (LayoutTask* task : tasks)
        task->readFrom(nullptr);
}

void SharedLayoutTasks::start()
{
    for (LayoutTask* task : tasks) {
        task->mode = ComputeLayout;
        task->start();
    }
}

bool SharedLayoutTasks::wait(unsigned long milliseconds)
{
    bool all = true;
    for (std::size_t k = 0; k < tasks.size(); ++k) {
        if (left[k])
            continue;
        // The first one still running gets the time; the others are only looked at.
        if (!tasks[k]->wait(all ? milliseconds : 0)) {
            all = false;
            continue;
        }
        reading->leave(int(k));
        left[k] = true;
    }
    return all;
}

} // namespace orthaven
