#pragma once
// The numbers of a PTX point line, shared by the PTX reader's line-by-line path and its
// block parser, so both read every line alike.

#include <fast_float/fast_float.h>

#include <cmath>
#include <string_view>
#include <system_error>

namespace orthaven::ptx {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

inline const char* skipBlanks(const char* p, const char* end)
{
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

// One number of a PTX line: optional blanks, then a finite decimal number that ends at a
// blank or at the end of the line ("1.5x" and "1,5" are not numbers here).
inline bool parseNumber(const char*& p, const char* end, double& value)
{
    const char* start = skipBlanks(p, end);
    if (start < end && *start == '+') {
        ++start; // the C++ stream accepts a leading plus; fast_float does not
        if (start < end && *start == '-')
            return false;
    }
    const fast_float::from_chars_result r = fast_float::from_chars(start, end, value);
    if (r.ec != std::errc() || r.ptr == start)
        return false;
    if (r.ptr < end && !isBlank(*r.ptr))
        return false;
    if (!std::isfinite(value))
        return false;
    p = r.ptr;
    return true;
}

// x, y, z are the first three numbers of a point line; intensity and colour may follow.
// Returns where the line goes on after z, or null when it holds no point.
inline const char* parsePoint(std::string_view line, double& x, double& y, double& z)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    if (parseNumber(p, end, x) && parseNumber(p, end, y) && parseNumber(p, end, z))
        return p;
    return nullptr;
}

// How many numbers follow x, y, z (up to four: intensity, red, green, blue).
inline int countChannelNumbers(const char* p, const char* end)
{
    int count = 0;
    double value = 0;
    while (count < 4 && parseNumber(p, end, value))
        ++count;
    return count;
}

} // namespace orthaven::ptx
