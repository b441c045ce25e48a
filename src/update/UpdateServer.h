#pragma once
// Where the update checker asks for news, and the names of what it fetches.

#include <QString>

namespace orthaven {

// The maker's update server; the check file and the package are fetched from it.
inline constexpr char updateServerHost[] = "update.brandmoor.example";

// Shown to the user when the checker cannot help any further.
inline constexpr char makerWebAddress[] = "http://www.brandmoor.example/orthaven";

inline constexpr char updateCheckFileName[] = "orthavenupdatecheck.log";
inline constexpr char updatePackageFileName[] = "Orthaven-New.zip";

// "http://" + updateServerHost.
inline QString updateServerUrl()
{
    return QStringLiteral("http://") + QLatin1String(updateServerHost);
}

} // namespace orthaven
