#include "OptionTable.h"

#include "OutputStyle.h"

#include <QRegularExpression>

namespace {

using Kind = OptionSpec::Kind;
using Section = OptionSpec::Section;
using Packer = OptionSpec::Packer;

QList<OptionChoice> styleChoices()
{
    QList<OptionChoice> choices;
    for (const OutputStyleInfo &style : OutputStyles::all())
        choices.append({QString::fromLatin1(style.name), QString::fromLatin1(style.label)});
    return choices;
}

QList<OptionChoice> encodingChoices()
{
    return {{QStringLiteral("o200k_base"), QStringLiteral("o200k_base (recent models)")},
            {QStringLiteral("cl100k_base"), QStringLiteral("cl100k_base (older models)")}};
}

QList<OptionChoice> partSizes()
{
    return {{QString(), QStringLiteral("Off")},
            {QStringLiteral("100kb"), QStringLiteral("100 KB")},
            {QStringLiteral("500kb"), QStringLiteral("500 KB")},
            {QStringLiteral("1mb"), QStringLiteral("1 MB")},
            {QStringLiteral("2mb"), QStringLiteral("2 MB")},
            {QStringLiteral("5mb"), QStringLiteral("5 MB")},
            {QStringLiteral("10mb"), QStringLiteral("10 MB")}};
}

constexpr ContextSize contextSizeList[] = {{128'000, "128K"}, {200'000, "200K"}, {1'000'000, "1M"}};

QList<OptionChoice> contextLimits()
{
    QList<OptionChoice> choices;
    for (const ContextSize &size : contextSizeList)
        choices.append({QString::fromLatin1(size.name), QStringLiteral("%1 tokens").arg(QLatin1String(size.name))});
    return choices;
}

// The order of the rows is the order of the packer's arguments; the first
// seven keep the order they always had.
const OptionSpec options[] = {
    {OptionKey::style, Kind::Choice, "plain", "Format",
     "How the bundle is laid out: plain text, XML or Markdown.",
     Section::Output, Packer::Value, "--style", nullptr, "style", "NAME", false, styleChoices, nullptr},
    {"addSummary", Kind::Switch, "true", "Add Summary",
     "A short note at the start of the bundle on what it holds and how to read it.",
     Section::Structure, Packer::Switch, nullptr, "--no-file-summary", "summary", nullptr, false, nullptr, nullptr},
    {"addFileStructure", Kind::Switch, "true", "Add File Structure",
     "A tree of the bundled folders and files before their contents.",
     Section::Structure, Packer::Switch, nullptr, "--no-directory-structure", "file-structure", nullptr, false, nullptr,
     nullptr},
    {"removeEmptyLines", Kind::Switch, "false", "Remove Empty Lines",
     "Leaves out blank lines of every file.",
     Section::Content, Packer::Switch, "--remove-empty-lines", nullptr, "remove-empty-lines", nullptr, false, nullptr,
     nullptr},
    {"removeComments", Kind::Switch, "true", "Remove Comments",
     "Leaves out the comments of source files in the languages the packer knows.",
     Section::Content, Packer::Switch, "--remove-comments", nullptr, "remove-comments", nullptr, false, nullptr, nullptr},
    {"showLineNumbers", Kind::Switch, "false", "Show Line Numbers",
     "Puts its number in front of every line of every file.",
     Section::Content, Packer::Switch, "--output-show-line-numbers", nullptr, "line-numbers", nullptr, false, nullptr,
     nullptr},
    {"securityCheck", Kind::Switch, "true", "Security Check",
     "Leaves out files that look as if they hold passwords, keys or tokens.",
     Section::Content, Packer::Switch, nullptr, "--no-security-check", "security-check", nullptr, false, nullptr, nullptr},
    {"compress", Kind::Switch, "false", "Compress Code",
     "Keeps the structure of source code (signatures, classes, types) and leaves out the bodies of functions; "
     "often halves the tokens.",
     Section::Content, Packer::Switch, "--compress", nullptr, "compress", nullptr, false, nullptr, nullptr},
    {"truncateBase64", Kind::Switch, "false", "Truncate Base64",
     "Shortens long base64 data, such as embedded images, to a few characters.",
     Section::Content, Packer::Switch, "--truncate-base64", nullptr, "truncate-base64", nullptr, false, nullptr, nullptr},
    {"parsableStyle", Kind::Switch, "false", "Escape Contents",
     "Escapes the files' text where an XML or Markdown bundle needs it, so that the bundle stays valid for tools "
     "that read it.",
     Section::Content, Packer::Switch, "--parsable-style", nullptr, "escape-contents", nullptr, false, nullptr, nullptr},
    {"useGitignore", Kind::Switch, "true", "Use .gitignore",
     "Leaves out what the .gitignore files of the chosen folders name.",
     Section::Files, Packer::Switch, nullptr, "--no-gitignore", "gitignore", nullptr, false, nullptr, nullptr},
    {"useDotIgnore", Kind::Switch, "true", "Use dot-ignore files",
     "Leaves out what the .ignore files of the chosen folders name.",
     Section::Files, Packer::Switch, nullptr, "--no-dot-ignore", "dot-ignore", nullptr, false, nullptr, nullptr},
    {OptionKey::tokenEncoding, Kind::Choice, "o200k_base", "Token Encoding",
     "The tokenizer the token counts follow: o200k_base for recent models, cl100k_base for older ones.",
     Section::Tokens, Packer::ValueUnlessDefault, "--token-count-encoding", nullptr, "encoding", "NAME", false, encodingChoices,
     nullptr},
    {OptionKey::splitOutput, Kind::Choice, "", "Split Output",
     "Writes the bundle as numbered parts of at most this size, for chat applications that limit uploads.",
     Section::Output, Packer::ValueIfSet, "--split-output", nullptr, "split-output", "SIZE", false, partSizes,
     R"(\d{1,9}(\.\d{1,3})?(kb|mb))"},
    {OptionKey::headerText, Kind::Text, "", "Header Text",
     "Your own text at the start of the bundle.",
     Section::Structure, Packer::ValueIfSet, "--header-text", nullptr, "header-text", "TEXT", false, nullptr, nullptr},
    {OptionKey::instructions, Kind::Lines, "", "Instructions",
     "Text placed in the bundle for the assistant to follow, such as what to do with the files.",
     Section::Structure, Packer::File, "--instruction-file-path", nullptr, "instructions", "FILE", true, nullptr,
     nullptr},
    {OptionKey::contextLimit, Kind::Choice, "1M", "Context Limit",
     "The context window of the assistant the bundle is for: above it, the token total turns to the warning "
     "colour and says by how much.",
     Section::Tokens, Packer::None, nullptr, nullptr, "context-limit", "SIZE", false, contextLimits, nullptr},
};

} // namespace

bool OptionSpec::accepts(const QString &value) const
{
    switch (kind) {
    case Kind::Switch:
        return value == QLatin1String("true") || value == QLatin1String("false");
    case Kind::Choice: {
        for (const OptionChoice &choice : choiceList()) {
            if (choice.value == value)
                return true;
        }
        if (!pattern)
            return false;
        const QRegularExpression whole(QRegularExpression::anchoredPattern(QString::fromLatin1(pattern)));
        return whole.match(value).hasMatch();
    }
    case Kind::Text:
    case Kind::Lines:
        return true;
    }
    return false;
}

std::optional<QString> OptionSpec::normalized(const QString &value) const
{
    if (kind == Kind::Text || kind == Kind::Lines)
        return value;
    const QString text = value.trimmed();
    if (kind == Kind::Switch) {
        for (const char *word : {"true", "false"}) {
            if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
                return QString::fromLatin1(word);
        }
        return std::nullopt;
    }
    // A choice by its value or its label, in any case ("Off", "XML"); then a
    // value of the option's pattern, spaces removed and in lower case ("2 MB").
    for (const OptionChoice &choice : choiceList()) {
        if (text.compare(choice.value, Qt::CaseInsensitive) == 0 || text.compare(choice.label, Qt::CaseInsensitive) == 0)
            return choice.value;
    }
    QString compact = text.toLower();
    compact.remove(u' ');
    if (pattern && accepts(compact))
        return compact;
    return std::nullopt;
}

namespace OptionTable {

std::span<const OptionSpec> all()
{
    return options;
}

const OptionSpec *find(QAnyStringView key)
{
    for (const OptionSpec &option : options) {
        if (QAnyStringView::compare(key, QLatin1StringView(option.key)) == 0)
            return &option;
    }
    return nullptr;
}

QString sectionTitle(OptionSpec::Section section)
{
    switch (section) {
    case Section::Output:
        return QStringLiteral("Output Style");
    case Section::Structure:
        return QStringLiteral("Structure");
    case Section::Content:
        return QStringLiteral("Content");
    case Section::Files:
        return QStringLiteral("Files");
    case Section::Tokens:
        return QStringLiteral("Tokens");
    }
    return {};
}

} // namespace OptionTable

std::span<const ContextSize> OptionTable::contextSizes()
{
    return contextSizeList;
}

qint64 OptionTable::contextSizeTokens(QStringView name)
{
    for (const ContextSize &size : contextSizeList) {
        if (name.compare(QLatin1String(size.name), Qt::CaseInsensitive) == 0)
            return size.tokens;
    }
    return std::cend(contextSizeList)[-1].tokens;
}
