#include "layout/Views.h"

#include <QtGlobal>

#include <cctype>

namespace orthaven {

namespace {

// clang-format off
const std::array<ViewInfo, 5> table = {{
    {Top, QT_TRANSLATE_NOOP("orthaven::BatchLayout", "Top"), "top",
     {1, 0, 0,  0, 1, 0,  0, 0, 1}, false, false, "X", "Y",
     QT_TRANSLATE_NOOP("LayoutForm", "Bottom"), QT_TRANSLATE_NOOP("LayoutForm", "Top"),
     "Layout.log"},
    {Left, QT_TRANSLATE_NOOP("orthaven::BatchLayout", "Left"), "left",
     {0, -1, 0,  0, 0, 1,  1, 0, 0}, false, true, "Y", "Z",
     QT_TRANSLATE_NOOP("LayoutForm", "Left"), QT_TRANSLATE_NOOP("LayoutForm", "Right"),
     "Left_View.log"},
    {Back, QT_TRANSLATE_NOOP("orthaven::BatchLayout", "Back"), "back",
     {1, 0, 0,  0, 0, 1,  0, 1, 0}, true, false, "X", "Z",
     QT_TRANSLATE_NOOP("LayoutForm", "Front"), QT_TRANSLATE_NOOP("LayoutForm", "Back"),
     "Back_View.log"},
    {Right, QT_TRANSLATE_NOOP("orthaven::BatchLayout", "Right"), "right",
     {0, -1, 0,  0, 0, 1,  1, 0, 0}, true, true, "Y", "Z",
     QT_TRANSLATE_NOOP("LayoutForm", "Left"), QT_TRANSLATE_NOOP("LayoutForm", "Right"),
     "Right_View.log"},
    {Front, QT_TRANSLATE_NOOP("orthaven::BatchLayout", "Front"), "front",
     {1, 0, 0,  0, 0, 1,  0, 1, 0}, false, false, "X", "Z",
     QT_TRANSLATE_NOOP("LayoutForm", "Front"), QT_TRANSLATE_NOOP("LayoutForm", "Back"),
     "Front_View.log"},
}};
// clang-format on

} // namespace

const std::array<ViewInfo, 5>& views()
{
    return table;
}

const ViewInfo* viewInfo(std::uint32_t view)
{
    return view < table.size() ? &table[view] : nullptr;
}

const ViewInfo* viewByOptionName(const char* name, std::size_t length)
{
    for (const ViewInfo& info : table) {
        std::size_t k = 0;
        while (k < length && info.optionName[k] != '\0' &&
               std::tolower(static_cast<unsigned char>(name[k])) == info.optionName[k])
            ++k;
        if (k == length && info.optionName[k] == '\0')
            return &info;
    }
    return nullptr;
}

QString defaultLogName(std::uint32_t view)
{
    const ViewInfo* info = viewInfo(view);
    return QLatin1String(info ? info->defaultLogName : table[Top].defaultLogName);
}

QString frameAxisName(const char* axis, const LayoutFrame& frame)
{
    const QString name = QLatin1String(axis);
    const bool horizontal = name == QLatin1String("X") || name == QLatin1String("Y");
    return frame.isTurned() && horizontal ? name + QLatin1Char('\'') : name;
}

cv::Mat viewMatrixFor(std::uint32_t view)
{
    cv::Mat M = cv::Mat::eye(4, 4, CV_64F);
    if (const ViewInfo* info = viewInfo(view))
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                M.at<double>(r, c) = info->rows[3 * r + c];
    return M;
}

} // namespace orthaven
