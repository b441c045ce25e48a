#pragma once
// Scan names as the window and the pictures show them. Readers name a scan after its
// file, often with the whole path; what tells scans apart is the file name at its end.

#include <QString>
#include <QStringList>

namespace orthaven {

// A scan's display name without its folders ("station.ptx (000)" for
// "C:\scans\station.ptx (000)"); a name without folders stays as it is.
QString shortScanName(const QString& name);

// The names as the scan list shows them: each as short as it can be while no two
// different names look alike. A name starts as its file name with the scan's part and takes
// in its folders from the innermost out while another name reads the same
// ("east\station.ptx (000)" beside "west\station.ptx (000)").
QStringList distinctScanNames(const QStringList& names);

} // namespace orthaven
