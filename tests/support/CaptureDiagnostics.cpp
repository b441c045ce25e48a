#include "support/CaptureDiagnostics.h"

namespace orthaven::test {

CaptureDiagnostics::CaptureDiagnostics()
    : previous(diag::setSink([this](diag::Severity, std::string_view text) {
          const std::lock_guard<std::mutex> guard(lock);
          collected.emplace_back(text);
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
    for (const std::string& line : collected) {
        all += line;
        all += '\n';
    }
    return all;
}

QStringList CaptureDiagnostics::lines() const
{
    const std::lock_guard<std::mutex> guard(lock);
    QStringList result;
    for (const std::string& line : collected)
        result.append(QString::fromStdString(line));
    return result;
}

} // namespace orthaven::test
