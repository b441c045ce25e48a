#pragma once
// Collects the diagnostic lines the code under test reports while the object lives, from
// any thread (the engine's workers report too), in place of the sink that prints them.

#include "diag/Diagnostics.h"

#include <QStringList>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace orthaven::test {

class CaptureDiagnostics
{
public:
    CaptureDiagnostics();
    ~CaptureDiagnostics();
    CaptureDiagnostics(const CaptureDiagnostics&) = delete;
    CaptureDiagnostics& operator=(const CaptureDiagnostics&) = delete;

    // Every line with its line end, as the default sink would have printed them.
    std::string text() const;
    QStringList lines() const;
    // The lines reported with this severity.
    QStringList lines(diag::Severity severity) const;

private:
    mutable std::mutex lock;
    std::vector<std::pair<diag::Severity, std::string>> collected;
    diag::Sink previous;
};

} // namespace orthaven::test
