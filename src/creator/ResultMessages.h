#pragma once
// The texts a front end shows when a layout run has ended, in one place for the Layout
// Creator dock and the command-line runner.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace orthaven {

// "Computation interrupted!" for a run the engine left early because of a stop request
// (its interrupted flag, whatever the code), the message of errorCode for a failed run,
// "Computation successful!" otherwise. Empty for a failed run whose code has no message.
// Translated in the context "Layout" when a translator is installed.
QString layoutResultMessage(bool interrupted, bool failed, std::int32_t errorCode);

// The warning shown after a successful run whose overview pictures (paths, native
// separators) could not all be written: the layout itself is complete.
QString overviewPicturesWarning(const QStringList& paths);

// The message of one ResultCode; empty for NoError and for codes without a message.
QString resultCodeMessage(std::int32_t errorCode);

} // namespace orthaven
