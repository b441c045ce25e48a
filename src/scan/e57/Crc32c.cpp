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

// The processor's CRC-32C instruction: several times the table's speed, and every page of
// a file passes through here.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((target("sse4.2")))
#endif
std::uint32_t
crc32cInstruction(const unsigned char* p, std::size_t length)
{
    std::uint64_t crc = 0xFFFFFFFFu;
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
