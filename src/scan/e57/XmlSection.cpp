#include "scan/e57/XmlSection.h"

#include <QXmlStreamReader>

#include <fast_float/fast_float.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <utility>

namespace orthaven::e57 {

namespace {

// Prototypes are flat in practice; nesting this deep is damage, not data.
constexpr int maxPrototypeDepth = 16;

std::string utf8(QStringView text)
{
    return text.toString().toStdString();
}

class Parser
{
public:
    explicit Parser(const QByteArray& bytes) : xml(bytes) {}

    bool run(std::vector<Scan>& scans)
    {
        if (!xml.readNextStartElement())
            return failed("the XML section holds no element");
        if (xml.name() != QLatin1String("e57Root"))
            return failed("the XML section's root element is <" + utf8(xml.name()) +
                          ">, not <e57Root>");
        while (xml.readNextStartElement()) {
            if (isStandard() && xml.name() == QLatin1String("data3D")) {
                if (!readData3D(scans))
                    return false;
            } else {
                xml.skipCurrentElement();
            }
        }
        return !xml.hasError() || failed("");
    }

    std::string error;

private:
    // False with the reason; an XML error of the reader wins, since it explains the rest.
    bool failed(const std::string& text)
    {
        if (xml.hasError()) {
            error = "XML section not well-formed: " + xml.errorString().toStdString() + " (line " +
                    std::to_string(xml.lineNumber()) + ")";
        } else {
            error = text + " (XML line " + std::to_string(xml.lineNumber()) + ")";
        }
        return false;
    }

    bool isStandard() const
    {
        const QStringView uri = xml.namespaceUri();
        return uri.isEmpty() || uri == QLatin1String(e57Namespace);
    }

    QStringView type() const { return xml.attributes().value(QLatin1String("type")); }

    std::string where() const { return "<" + utf8(xml.qualifiedName()) + ">"; }

    bool parseInteger(QStringView text, std::int64_t& value, const std::string& what)
    {
        const QByteArray bytes = text.toString().trimmed().toLatin1();
        if (bytes.isEmpty()) {
            value = 0;
            return true;
        }
        const char* end = bytes.constData() + bytes.size();
        const char* start = bytes.constData();
        if (*start == '+')
            ++start;
        const auto r = std::from_chars(start, end, value);
        if (r.ec != std::errc() || r.ptr != end)
            return failed(what + " holds \"" + bytes.toStdString() + "\", not a whole number");
        return true;
    }

    bool parseDouble(QStringView text, double& value, const std::string& what)
    {
        const QByteArray bytes = text.toString().trimmed().toLatin1();
        if (bytes.isEmpty()) {
            value = 0.0;
            return true;
        }
        const char* end = bytes.constData() + bytes.size();
        const char* start = bytes.constData();
        if (*start == '+')
            ++start;
        const auto r = fast_float::from_chars(start, end, value);
        if (r.ec != std::errc() || r.ptr != end)
            return failed(what + " holds \"" + bytes.toStdString() + "\", not a number");
        return true;
    }

    // The value of a numeric element (Integer, ScaledInteger or Float), which is read to
    // its end.
    bool readNumber(double& value)
    {
        const std::string what = "element " + where();
        const QString kind = type().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements);
        if (xml.hasError())
            return failed("");
        if (kind == QLatin1String("Float"))
            return parseDouble(text, value, what);
        std::int64_t raw = 0;
        if (!parseInteger(text, raw, what))
            return false;
        value = double(raw);
        if (kind == QLatin1String("ScaledInteger")) {
            double scale = 1.0;
            double offset = 0.0;
            if (attributes.hasAttribute(QLatin1String("scale")) &&
                !parseDouble(attributes.value(QLatin1String("scale")), scale, what + " scale"))
                return false;
            if (attributes.hasAttribute(QLatin1String("offset")) &&
                !parseDouble(attributes.value(QLatin1String("offset")), offset, what + " offset"))
                return false;
            value = value * scale + offset;
        } else if (kind != QLatin1String("Integer")) {
            return failed(what + " is of type \"" + kind.toStdString() +
                          "\" where a number belongs");
        }
        return true;
    }

    bool readData3D(std::vector<Scan>& scans)
    {
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("vectorChild")) {
                xml.skipCurrentElement();
                continue;
            }
            Scan scan;
            if (!readScan(scan))
                return false;
            scans.push_back(scan);
        }
        return !xml.hasError() || failed("");
    }

    bool readScan(Scan& scan)
    {
        bool pointsSeen = false;
        while (xml.readNextStartElement()) {
            const QStringView name = xml.name();
            if (!isStandard()) {
                xml.skipCurrentElement();
            } else if (name == QLatin1String("name")) {
                scan.name = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (name == QLatin1String("pose")) {
                if (!readPose(scan))
                    return false;
            } else if (name == QLatin1String("points") && !pointsSeen) {
                pointsSeen = true;
                if (!readPoints(scan))
                    return false;
            } else if (name == QLatin1String("indexBounds")) {
                if (!readIndexBounds(scan))
                    return false;
            } else {
                xml.skipCurrentElement();
            }
        }
        return !xml.hasError() || failed("");
    }

    bool readPose(Scan& scan)
    {
        while (xml.readNextStartElement()) {
            const QStringView part = xml.name();
            const bool rotation = part == QLatin1String("rotation");
            if (!isStandard() || (!rotation && part != QLatin1String("translation"))) {
                xml.skipCurrentElement();
                continue;
            }
            // Elements left out of the structure count as 0, as an empty element does.
            if (rotation)
                scan.rotation = {0.0, 0.0, 0.0, 0.0};
            else
                scan.translation = {0.0, 0.0, 0.0};
            while (xml.readNextStartElement()) {
                const QStringView axis = xml.name();
                int k = -1;
                if (axis == QLatin1String("w") && rotation)
                    k = 0;
                else if (axis == QLatin1String("x"))
                    k = rotation ? 1 : 0;
                else if (axis == QLatin1String("y"))
                    k = rotation ? 2 : 1;
                else if (axis == QLatin1String("z"))
                    k = rotation ? 3 : 2;
                if (k < 0 || !isStandard()) {
                    xml.skipCurrentElement();
                    continue;
                }
                double value = 0.0;
                if (!readNumber(value))
                    return false;
                if (!std::isfinite(value))
                    return failed("a scan pose holds a value that is not finite");
                (rotation ? scan.rotation[std::size_t(k)] : scan.translation[std::size_t(k)]) =
                    value;
            }
        }
        return !xml.hasError() || failed("");
    }

    bool readIndexBounds(Scan& scan)
    {
        while (xml.readNextStartElement()) {
            const QStringView name = xml.name();
            std::int64_t* target = nullptr;
            if (name == QLatin1String("rowMaximum"))
                target = &scan.rowMaximum;
            else if (name == QLatin1String("columnMaximum"))
                target = &scan.columnMaximum;
            if (!target || !isStandard()) {
                xml.skipCurrentElement();
                continue;
            }
            const std::string what = "element " + where();
            const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements);
            if (!parseInteger(text, *target, what))
                return false;
        }
        return !xml.hasError() || failed("");
    }

    bool readPoints(Scan& scan)
    {
        if (type() != QLatin1String("CompressedVector"))
            return failed("scan points of type \"" + utf8(type()) + "\", not CompressedVector");
        const QXmlStreamAttributes attributes = xml.attributes();
        std::int64_t offset = 0;
        if (!parseInteger(attributes.value(QLatin1String("fileOffset")), offset,
                          "the points' fileOffset") ||
            !parseInteger(attributes.value(QLatin1String("recordCount")), scan.points.recordCount,
                          "the points' recordCount"))
            return false;
        if (offset < 0 || scan.points.recordCount < 0)
            return failed("scan points with a negative fileOffset or recordCount");
        scan.points.fileOffset = std::uint64_t(offset);

        bool prototypeSeen = false;
        while (xml.readNextStartElement()) {
            const QStringView name = xml.name();
            if (name == QLatin1String("prototype") && !prototypeSeen) {
                prototypeSeen = true;
                if (!readFields(scan.points.fields, QString(), 0))
                    return false;
            } else if (name == QLatin1String("codecs")) {
                // An empty codecs vector means bitpack for every field, the one codec there
                // is; anything else names a codec we do not know.
                if (xml.readNextStartElement())
                    return failed("scan points with a codec other than bitpack (<" +
                                  utf8(xml.qualifiedName()) + ">)");
            } else {
                xml.skipCurrentElement();
            }
        }
        if (xml.hasError())
            return failed("");
        if (!prototypeSeen)
            return failed("scan points without a prototype");
        scan.hasPoints = true;
        return true;
    }

    // The terminal elements of a prototype (sub)tree, depth first: one bytestream each.
    bool readFields(std::vector<Field>& fields, const QString& prefix, int depth)
    {
        while (xml.readNextStartElement()) {
            const QString kind = type().toString();
            const QString name = prefix + xml.qualifiedName().toString();
            const std::string what = "point field <" + name.toStdString() + ">";
            if (kind == QLatin1String("Structure") || kind == QLatin1String("Vector")) {
                if (depth >= maxPrototypeDepth)
                    return failed("a point prototype nested deeper than " +
                                  std::to_string(maxPrototypeDepth) + " levels");
                if (!readFields(fields, name + QLatin1Char('/'), depth + 1))
                    return false;
                continue;
            }
            Field field;
            field.name = name;
            field.standard = depth == 0 && isStandard();
            const QXmlStreamAttributes attributes = xml.attributes();
            const auto has = [&](const char* key) {
                return attributes.hasAttribute(QLatin1String(key));
            };
            const auto value = [&](const char* key) {
                return attributes.value(QLatin1String(key));
            };
            if (kind == QLatin1String("Float")) {
                field.type = FieldType::Float;
                const QStringView precision = value("precision");
                if (precision == QLatin1String("single"))
                    field.singlePrecision = true;
                else if (!precision.isEmpty() && precision != QLatin1String("double"))
                    return failed(what + " of precision \"" + utf8(precision) +
                                  "\"; single or double is read");
                field.floatBounds = has("minimum") && has("maximum");
                if (field.floatBounds &&
                    (!parseDouble(value("minimum"), field.floatMinimum, what) ||
                     !parseDouble(value("maximum"), field.floatMaximum, what)))
                    return false;
            } else if (kind == QLatin1String("Integer") || kind == QLatin1String("ScaledInteger")) {
                field.type = kind == QLatin1String("Integer") ? FieldType::Integer
                                                              : FieldType::ScaledInteger;
                if (has("minimum") && !parseInteger(value("minimum"), field.minimum, what))
                    return false;
                if (has("maximum") && !parseInteger(value("maximum"), field.maximum, what))
                    return false;
                if (field.maximum < field.minimum)
                    return failed(what + " with maximum " + std::to_string(field.maximum) +
                                  " below its minimum " + std::to_string(field.minimum));
                if (field.type == FieldType::ScaledInteger) {
                    if (has("scale") && !parseDouble(value("scale"), field.scale, what))
                        return false;
                    if (has("offset") && !parseDouble(value("offset"), field.offset, what))
                        return false;
                    if (!std::isfinite(field.scale) || !std::isfinite(field.offset))
                        return failed(what + " with a scale or offset that is not finite");
                }
            } else {
                return failed(what + " of type \"" + kind.toStdString() +
                              "\", which point records cannot hold here");
            }
            xml.skipCurrentElement();
            fields.push_back(field);
        }
        return !xml.hasError() || failed("");
    }

    QXmlStreamReader xml;
};

} // namespace

int Field::bits() const
{
    if (type == FieldType::Float)
        return singlePrecision ? 32 : 64;
    const std::uint64_t range = std::uint64_t(maximum) - std::uint64_t(minimum);
    return range == 0 ? 0 : 64 - std::countl_zero(range);
}

bool Field::range(double& low, double& high) const
{
    if (type == FieldType::Float) {
        low = floatMinimum;
        high = floatMaximum;
        return floatBounds;
    }
    low = double(minimum);
    high = double(maximum);
    if (type == FieldType::ScaledInteger) {
        low = low * scale + offset;
        high = high * scale + offset;
        if (high < low)
            std::swap(low, high);
    }
    return true;
}

std::int64_t PointSet::bitsPerRecord() const
{
    std::int64_t bits = 0;
    for (const Field& field : fields)
        bits += field.bits();
    return bits;
}

bool parseXmlSection(const QByteArray& xml, std::vector<Scan>& scans, std::string& error)
{
    scans.clear();
    Parser parser(xml);
    if (parser.run(scans))
        return true;
    error = parser.error;
    scans.clear();
    return false;
}

int fieldIndex(const PointSet& points, const char* name)
{
    for (std::size_t k = 0; k < points.fields.size(); ++k) {
        const Field& field = points.fields[k];
        if (field.standard && field.name == QLatin1String(name))
            return int(k);
    }
    return -1;
}

} // namespace orthaven::e57
