#pragma once
// The one exception of the program: an error of the FARO scanner-data library (a negative
// HRESULT, or a call without a library), raised by ScanSourceFaro's steps and caught at the
// doors of ScanSource, which print its text and answer with a failed call. Nothing outside
// the reader ever sees it.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orthaven {

// A COM result code: negative values are failures.
using HResult = std::int32_t;

namespace faro {

constexpr HResult okResult = 0;
constexpr HResult pointerError = HResult(0x80004003u);    // E_POINTER
constexpr HResult failError = HResult(0x80004005u);       // E_FAIL
constexpr HResult invalidArgError = HResult(0x80070057u); // E_INVALIDARG

// Interface identifiers, as the library registers them.
constexpr const char* libraryClassId = "{EAC3C8B5-1D3F-48FB-A96F-97D90B726C53}";
constexpr const char* libraryInterfaceId = "{04C30767-2E10-4231-802B-F9DF2D5F8C5B}";
constexpr const char* scanObjectInterfaceId = "{3B6A0DD9-002E-4034-8DE7-479CD1F188A5}";

} // namespace faro

class FaroComError : public std::runtime_error
{
public:
    FaroComError(HResult hresult, const std::string& interfaceId);

    HResult hresult() const { return code; }
    // The identifier of the interface whose call failed, in braces.
    const std::string& interfaceId() const { return iid; }

    // what() is one console line: "FARO library error 0x80004005 in interface {…}".
    static std::string describe(HResult hresult, const std::string& interfaceId);

private:
    HResult code;
    std::string iid;
};

} // namespace orthaven
