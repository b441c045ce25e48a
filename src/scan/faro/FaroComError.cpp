#include "scan/faro/FaroComError.h"

#include <algorithm>
#include <charconv>

namespace orthaven {

FaroComError::FaroComError(HResult hresult, const std::string& interfaceId)
    : std::runtime_error(describe(hresult, interfaceId)), code(hresult), iid(interfaceId)
{
}

std::string FaroComError::describe(HResult hresult, const std::string& interfaceId)
{
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, std::uint32_t(hresult), 16);
    std::string hex(digits, r.ptr);
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f')
            c = char(c - 'a' + 'A');
    }
    hex.insert(0, 8 - std::min<std::size_t>(8, hex.size()), '0');
    return "FARO library error 0x" + hex + " in interface " + interfaceId;
}

} // namespace orthaven
