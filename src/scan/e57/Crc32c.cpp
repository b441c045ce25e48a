#include "scan/e57/Crc32c.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <nmmintrin.h>
#define ORTHAVEN_CRC32C_SSE42 1
#elif defined(_M_X64) && defined(_MSC_VER)
#include <intrin.h>
#include <nmmintrin.h>
#define ORTHAVEN_CRC32C_SSE42 1
#endif

namespace orthaven::e57 {

#ifdef ORTHAVEN_CRC32C_SSE42

namespace {

#if defined(__GNUC__) || defined(__clang__)
#define ORTHAVEN_SSE42 __attribute__((target("sse4.2")))
#else
#define ORTHAVEN_SSE42
#endif

// The CRC-32C state after `bytes` zero bytes, as a function of the state before: linear,
// so four tables of the images of each state byte give it. Made once per length and
// thread (a file's pages all have one length).
struct ZeroShift
{
    std::size_t bytes = 0;
    std::uint32_t table[4][256] = {};

    ORTHAVEN_SSE42 void make(std::size_t length)
    {
        bytes = length;
        std::uint32_t basis[32];
        for (int bit = 0; bit < 32; ++bit) {
            std::uint64_t state = std::uint32_t(1) << bit;
            for (std::size_t k = 0; k < length / 8; ++k)
                state = _mm_crc32_u64(state, 0);
            basis[bit] = std::uint32_t(state);
        }
        for (int b = 0; b < 4; ++b) {
            for (std::uint32_t value = 0; value < 256; ++value) {
                std::uint32_t image = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    if (value & (1u << bit))
                        image ^= basis[8 * b + bit];
                }
                table[b][value] = image;
            }
        }
    }

    std::uint32_t operator()(std::uint32_t state) const
    {
        return table[0][state & 0xFFu] ^ table[1][(state >> 8) & 0xFFu] ^
               table[2][(state >> 16) & 0xFFu] ^ table[3][state >> 24];
    }
};

// The processor's CRC-32C instruction, several times the table's speed; every page of a
// file passes through here. One chain of instructions waits for the previous result, so
// a page is taken as three parts at once, whose states are joined afterwards.
ORTHAVEN_SSE42 std::uint32_t crc32cInstruction(const unsigned char* p, std::size_t length)
{
    std::uint64_t crc = 0xFFFFFFFFu;
    const std::size_t part = length / 24 * 8;
    if (part >= 64) {
        thread_local ZeroShift shift;
        if (shift.bytes != part)
            shift.make(part);
        std::uint64_t b = 0;
        std::uint64_t c = 0;
        const unsigned char* q = p + part;
        const unsigned char* r = p + 2 * part;
        for (std::size_t k = 0; k < part; k += 8) {
            crc = _mm_crc32_u64(crc, loadLittleEndian<std::uint64_t>(p + k));
            b = _mm_crc32_u64(b, loadLittleEndian<std::uint64_t>(q + k));
            c = _mm_crc32_u64(c, loadLittleEndian<std::uint64_t>(r + k));
        }
        crc = shift(shift(std::uint32_t(crc)) ^ std::uint32_t(b)) ^ std::uint32_t(c);
        p += 3 * part;
        length -= 3 * part;
    }
    for (; length >= 8; length -= 8, p += 8)
        crc = _mm_crc32_u64(crc, loadLittleEndian<std::uint64_t>(p));
    std::uint32_t c = std::uint32_t(crc);
    for (; length > 0; --length, ++p)
        c = _mm_crc32_u8(c, *p);
    return ~c;
}

bool hasCrc32cInstruction()
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_cpu_supports("sse4.2");
#else
    int info[4] = {0, 0, 0, 0};
    __cpuid(info, 1);
    return (info[2] & (1 << 20)) != 0;
#endif
}

} // namespace

std::uint32_t pageChecksum(const void* data, std::size_t length)
{
    static const bool instruction = hasCrc32cInstruction();
    if (instruction)
        return crc32cInstruction(static_cast<const unsigned char*>(data), length);
    return crc32c(data, length);
}

#else

std::uint32_t pageChecksum(const void* data, std::size_t length)
{
    return crc32c(data, length);
}

#endif

} // namespace orthaven::e57
