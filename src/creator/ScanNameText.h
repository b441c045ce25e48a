#pragma once
// Scan names as the window and the pictures show them. Readers name a scan after its
// file, often with the whole path; what tells scans apart is the file name at its end.

#include <QString>

class QFontMetrics;

namespace orthaven {

// A scan's display name without its folders ("station.ptx (000)" for
// "C:\scans\station.ptx (000)"); a name without folders stays as it is.
QString shortScanName(const QString& name);

// name shortened to at most width pixels of metrics by leaving out the middle: the
// folders give way first ("C:\proj…\station.ptx (000)"), and only a file name that is
// itself too wide loses its start, keeping the end that tells scans apart
// ("…tion_12.ptx (000)"). A name that fits stays whole.
QString elideScanName(const QString& name, const QFontMetrics& metrics, int width);

} // namespace orthaven
