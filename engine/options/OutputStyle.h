#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>

// The packer's output styles, listed once: the name the packer and the
// settings store use, the label the window shows, and the extension and
// file-type filter of a bundle in that style.
enum class OutputStyle { Plain, Xml, Markdown };

struct OutputStyleInfo
{
    OutputStyle style;
    const char *name;      // "plain": stored and passed to the packer
    const char *label;     // "Plain Text"
    const char *extension; // "txt"
    const char *filter;    // "Plain text (*.txt)"
};

namespace OutputStyles {

// Every style, the default first.
std::span<const OutputStyleInfo> all();
const OutputStyleInfo &info(OutputStyle style);
// The style named exactly (case-sensitively) `name`.
std::optional<OutputStyle> fromName(QStringView name);
QString name(OutputStyle style);
QString extension(OutputStyle style);
// "plain, xml or markdown", for messages and help texts.
QString namesText();
// The save dialog's file types, in the order of all().
QStringList filters();

} // namespace OutputStyles
