#include "support/CaptureDiagnostics.h"

namespace orthaven::test {

CaptureDiagnostics::CaptureDiagnostics()
    : previous(diag::setSink([this](diag::Severity severity, std::string_view text) {
          const std::lock_guard<std::mutex> guard(lock);
          collected.emplace_back(severity, text);
      }))
{
}

CaptureDiagnostics::~CaptureDiagnostics()
{
    diag::setSink(std::move(previous));
}

std::string CaptureDiagnostics::text() const
{
    const std::lock_guard<std::mutex> guard(lock);
    std::string all;
    for (const auto& [severity, line] : collected) {
        all += line;
        all += '\n';
    }
    return all;
}

QStringList CaptureDiagnostics::lines() const
{
    const std::lock_guard<std::mutex> guard(lock);
    QStringList result;
    for (const auto& [severity, line] : collected)
        result.append(QString::fromStdString(line));
    return result;
}

QStringList CaptureDiagnostics::lines(diag::Severity wanted) const
{
    const std::lock_guard<std::mutex> guard(lock);
    QStringList result;
    for (const auto& [severity, line] : collected) {
        if (severity == wanted)
            result.append(QString::fromStdString(line));
    }
    return result;
}

} // namespace orthaven::test
