#include "support/CaptureDiagnostics.h"

namespace orthaven::test {

CaptureDiagnostics::CaptureDiagnostics()
    : previous(diag::setSink([this](diag::Severity severity, std::string_view text) {
          const std::lock_guard<std::mutex> guard(lock);
          collected.push_back({severity, std::string(text)});
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
    for (const Line& line : collected) {
        all += line.text;
        all += '\n';
    }
    return all;
}

QStringList CaptureDiagnostics::lines() const
{
    const std::lock_guard<std::mutex> guard(lock);
    QStringList result;
    for (const Line& line : collected)
        result.append(QString::fromStdString(line.text));
    return result;
}

QStringList CaptureDiagnostics::lines(diag::Severity severity) const
{
    const std::lock_guard<std::mutex> guard(lock);
    QStringList result;
    for (const Line& line : collected) {
        if (line.severity == severity)
            result.append(QString::fromStdString(line.text));
    }
    return result;
}

} // namespace orthaven::test
