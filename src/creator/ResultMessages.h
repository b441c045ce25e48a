#pragma once
// The texts a front end shows when a layout run has ended, in one place for the Layout
// Creator dock and the command-line runner.

#include <QString>

#include <cstdint>

namespace orthaven {

// "Computation interrupted!" for a stopped run (whatever the code), the message of
// errorCode for a failed run, "Computation successful!" otherwise. Empty for a failed run
// whose code has no message. Translated in the context "Layout" when a translator is
// installed.
QString layoutResultMessage(bool stopRequested, bool failed, std::int32_t errorCode);

// The message of one ResultCode; empty for NoError and for codes without a message.
QString resultCodeMessage(std::int32_t errorCode);

} // namespace orthaven
