#include "OutputStyle.h"

namespace {
constexpr OutputStyleInfo styles[] = {
    {OutputStyle::Plain, "plain", "Plain Text", "txt", "Plain text (*.txt)"},
    {OutputStyle::Xml, "xml", "XML", "xml", "XML (*.xml)"},
    {OutputStyle::Markdown, "markdown", "Markdown", "md", "Markdown (*.md)"},
};
} // namespace

namespace OutputStyles {

std::span<const OutputStyleInfo> all()
{
    return styles;
}

const OutputStyleInfo &info(OutputStyle style)
{
    for (const OutputStyleInfo &info : styles) {
        if (info.style == style)
            return info;
    }
    return styles[0];
}

std::optional<OutputStyle> fromName(QStringView name)
{
    for (const OutputStyleInfo &info : styles) {
        if (name == QLatin1StringView(info.name))
            return info.style;
    }
    return std::nullopt;
}

QString name(OutputStyle style)
{
    return QString::fromLatin1(info(style).name);
}

QString extension(OutputStyle style)
{
    return QString::fromLatin1(info(style).extension);
}

QString namesText()
{
    QStringList names;
    for (const OutputStyleInfo &info : styles)
        names << QString::fromLatin1(info.name);
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

QStringList filters()
{
    QStringList filters;
    for (const OutputStyleInfo &info : styles)
        filters << QString::fromLatin1(info.filter);
    return filters;
}

} // namespace OutputStyles
