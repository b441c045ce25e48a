#include "layout/PaperSizes.h"

namespace orthaven {

namespace {

// The edges of A0..A4 in millimetres, short edge first.
constexpr double edges[5][2] = {{841, 1189}, {594, 841}, {420, 594}, {297, 420}, {210, 297}};

} // namespace

double Paper::width() const
{
    return edges[size][landscape ? 1 : 0];
}

double Paper::height() const
{
    return edges[size][landscape ? 0 : 1];
}

QString Paper::name() const
{
    return QStringLiteral("A%1-%2").arg(size).arg(landscape ? QStringLiteral("landscape")
                                                            : QStringLiteral("portrait"));
}

std::optional<Paper> paperByName(const QString& name)
{
    for (int size = 0; size <= 4; ++size)
        for (const bool landscape : {false, true})
            if (name.trimmed().compare(Paper{size, landscape}.name(), Qt::CaseInsensitive) == 0)
                return Paper{size, landscape};
    return std::nullopt;
}

QStringList paperNames()
{
    QStringList names;
    for (int size = 4; size >= 0; --size)
        for (const bool landscape : {false, true})
            names.append(Paper{size, landscape}.name());
    return names;
}

} // namespace orthaven
