// The floor of any text reader: every number of the given files parsed with fast_float on
// one thread, nothing else (no lines, no headers, no poses, no points kept). bench/e2e.sh
// sets whole layouts beside it. Prints "parse <seconds> <numbers>".

#include <fast_float/fast_float.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_bare_parse FILE...\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(std::size_t(1) << 22);
    double sum = 0.0;
    long long numbers = 0;
    for (int k = 1; k < argc; ++k) {
        std::FILE* file = std::fopen(argv[k], "rb");
        if (!file) {
            std::fprintf(stderr, "cannot open %s\n", argv[k]);
            return 1;
        }
        std::size_t carried = 0; // the start of a number cut by the end of the buffer
        for (;;) {
            const std::size_t got =
                std::fread(buffer.data() + carried, 1, buffer.size() - carried, file);
            const std::size_t filled = carried + got;
            const char* p = buffer.data();
            const char* end = p + filled;
            // Without more bytes to come, the last number ends at the end of the file.
            const char* stop = end;
            if (got > 0)
                while (stop > p && stop[-1] != ' ' && stop[-1] != '\n' && stop[-1] != '\r')
                    --stop;
            while (p < stop) {
                while (p < stop && (*p == ' ' || *p == '\n' || *p == '\r'))
                    ++p;
                if (p >= stop)
                    break;
                double value = 0.0;
                const auto result = fast_float::from_chars(p, stop, value);
                if (result.ptr == p) { // not a number: skip the word
                    while (p < stop && *p != ' ' && *p != '\n' && *p != '\r')
                        ++p;
                    continue;
                }
                sum += value;
                ++numbers;
                p = result.ptr;
            }
            carried = std::size_t(end - stop);
            std::copy(stop, end, buffer.data());
            if (got == 0)
                break;
        }
        std::fclose(file);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("parse %.3f %lld\n", seconds, numbers);
    std::fprintf(stderr, "(sum %g)\n", sum); // keeps the parse from being optimised away
    return 0;
}
