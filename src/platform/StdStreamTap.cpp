#include "platform/StdStreamTap.h"

#include <cstdio>
#include <iostream>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define ov_dup _dup
#define ov_dup2 _dup2
#define ov_close _close
#define ov_read _read
#define ov_write _write
#else
#include <unistd.h>
#define ov_dup dup
#define ov_dup2 dup2
#define ov_close close
#define ov_read read
#define ov_write write
#endif

namespace orthaven {

namespace {

bool makePipe(int fds[2])
{
#ifdef _WIN32
    return _pipe(fds, 65536, _O_BINARY) == 0;
#else
    return pipe(fds) == 0;
#endif
}

void writeAll(int fd, const char* data, long size)
{
    while (size > 0) {
        const auto written = ov_write(fd, data, static_cast<unsigned>(size));
        if (written <= 0)
            return;
        data += written;
        size -= written;
    }
}

} // namespace

struct StdStreamTap::Impl
{
    int savedOut = -1;
    int savedErr = -1;
    int pipeRead = -1;
    std::thread reader;
    bool active = false;
};

StdStreamTap::StdStreamTap() : d(std::make_unique<Impl>()) {}

StdStreamTap::~StdStreamTap()
{
    stop();
}

bool StdStreamTap::isActive() const
{
    return d->active;
}

bool StdStreamTap::start(Sink sink)
{
    if (d->active)
        return true;
    int fds[2];
    if (!makePipe(fds))
        return false;

    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);

    d->savedOut = ov_dup(1);
    d->savedErr = ov_dup(2);
    ov_dup2(fds[1], 1);
    ov_dup2(fds[1], 2);
    ov_close(fds[1]); // 1 and 2 now hold the only write ends
    d->pipeRead = fds[0];

    const int echoTo = d->savedOut;
    const int readFrom = d->pipeRead;
    d->reader = std::thread([readFrom, echoTo, sink = std::move(sink)] {
        char buffer[4096];
        while (true) {
            const auto got = ov_read(readFrom, buffer, sizeof buffer);
            if (got <= 0)
                break;
            writeAll(echoTo, buffer, got);
            if (sink)
                sink(std::string(buffer, static_cast<size_t>(got)));
        }
    });
    d->active = true;
    return true;
}

void StdStreamTap::stop()
{
    if (!d->active)
        return;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);

    // Putting the original outputs back closes the last write ends of the pipe, so the
    // reader sees the end of its input after it has passed on everything still queued.
    ov_dup2(d->savedOut, 1);
    ov_dup2(d->savedErr, 2);
    if (d->reader.joinable())
        d->reader.join();
    ov_close(d->savedOut);
    ov_close(d->savedErr);
    ov_close(d->pipeRead);
    d->savedOut = d->savedErr = d->pipeRead = -1;
    d->active = false;
}

} // namespace orthaven
