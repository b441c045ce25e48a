#include "engine/CoordinateSystem.h"

#include <proj.h>

#include <QRegularExpression>

#include <memory>

namespace orthaven {

namespace {

struct ContextDeleter
{
    void operator()(PJ_CONTEXT* context) const { proj_context_destroy(context); }
};
struct ObjectDeleter
{
    void operator()(PJ* object) const { proj_destroy(object); }
};
using Context = std::unique_ptr<PJ_CONTEXT, ContextDeleter>;
using Object = std::unique_ptr<PJ, ObjectDeleter>;

std::optional<CoordinateSystem> refuse(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return std::nullopt;
}

} // namespace

std::optional<CoordinateSystem> coordinateSystem(const QString& code, QString* why)
{
    static const QRegularExpression epsg(QStringLiteral("^EPSG:([0-9]{1,9})$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = epsg.match(code.trimmed());
    if (!match.hasMatch())
        return refuse(why, QStringLiteral("\"%1\" is no EPSG code (EPSG:N)").arg(code));
    CoordinateSystem system;
    system.epsg = match.captured(1).toInt();
    system.code = QStringLiteral("EPSG:%1").arg(system.epsg);

    // A context of its own: lookups may run on several threads at once.
    const Context context(proj_context_create());
    if (!context)
        return refuse(why, QStringLiteral("PROJ cannot be started"));
    proj_log_level(context.get(), PJ_LOG_NONE); // the reasons are ours to give
    const QByteArray number = QByteArray::number(system.epsg);
    const Object crs(proj_create_from_database(context.get(), "EPSG", number.constData(),
                                               PJ_CATEGORY_CRS, 0, nullptr));
    if (!crs)
        return refuse(why,
                      QStringLiteral("%1 is not a coordinate system PROJ knows").arg(system.code));
    system.name = QString::fromUtf8(proj_get_name(crs.get()));
    const QString named = QStringLiteral("%1 (%2)").arg(system.code, system.name);
    if (proj_get_type(crs.get()) != PJ_TYPE_PROJECTED_CRS)
        return refuse(why, QStringLiteral("%1 is not a projected coordinate system").arg(named));
    // Its axes must be metres, as the layout's coordinates are.
    const Object axes(proj_crs_get_coordinate_system(context.get(), crs.get()));
    const int count = axes ? proj_cs_get_axis_count(context.get(), axes.get()) : 0;
    for (int i = 0; i < count; ++i) {
        double factor = 0.0;
        const char* unit = nullptr;
        if (!proj_cs_get_axis_info(context.get(), axes.get(), i, nullptr, nullptr, nullptr, &factor,
                                   &unit, nullptr, nullptr) ||
            factor != 1.0)
            return refuse(why, QStringLiteral("%1 is not in metres but in %2")
                                   .arg(named, QString::fromUtf8(unit ? unit : "?")));
    }
    if (count < 2)
        return refuse(why, QStringLiteral("%1 has no usable axes").arg(named));

    // Each text is copied at once: the next proj_as_wkt of the object overwrites it.
    const char* const oneLine[] = {"MULTILINE=NO", nullptr};
    const auto text = [&](PJ_WKT_TYPE type) {
        const char* wkt = proj_as_wkt(context.get(), crs.get(), type, oneLine);
        return wkt ? QByteArray(wkt) : QByteArray();
    };
    system.wkt = text(PJ_WKT1_GDAL);
    if (system.wkt.isEmpty())
        system.wkt = text(PJ_WKT2_2019);
    system.esriWkt = text(PJ_WKT1_ESRI);
    if (system.wkt.isEmpty() || system.esriWkt.isEmpty())
        return refuse(why, QStringLiteral("%1 cannot be written as WKT").arg(named));
    return system;
}

} // namespace orthaven
