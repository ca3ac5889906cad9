#pragma once

#include <QList>
#include <QString>
#include <QAnyStringView>

#include <optional>
#include <span>

// One value an option can take, as stored and passed on, with its label.
struct OptionChoice
{
    QString value;
    QString label;
};

// One output option of a bundle. Every option is declared once, in the table
// below; the settings store (BundleOptions), the settings view, the packer's
// argument list, the headless command line and its help all read it. Adding
// an option is adding a row (and its test row).
struct OptionSpec
{
    enum class Kind {
        Switch, // on or off: "true" / "false"
        Choice, // one of `choices` (or, where `pattern` allows it, a value like them)
        Text,   // one line of text
        Lines,  // text of several lines
    };
    // The settings view's groups, shown in this order.
    enum class Section { Output, Structure, Content, Files, Tokens };
    // How a value reaches the packer.
    enum class Packer {
        Switch,     // `argument` when on, `argumentOff` when off (either may be empty)
        Value,      // `argument` and the value, always
        ValueIfSet, // `argument` and the value, unless the value is empty
        ValueUnlessDefault, // `argument` and the value, unless it is the default (the packer's own)
        File,       // `argument` and a private file holding the value, unless it is empty
        None,       // never: the option is the application's own (`argument` is null)
    };

    const char *key;          // the stored key, never to change; also the view's object name
    Kind kind;
    const char *defaultValue; // a switch's is "true" or "false"
    const char *label;        // "Remove Comments"
    const char *toolTip;
    Section section;
    Packer packer;
    const char *argument;     // the packer's option ("--remove-comments", "--style")
    const char *argumentOff;  // a switch's option when it is off ("--no-file-summary")
    // The headless command's flag without dashes: a switch gives "--flag" and
    // "--no-flag", any other option "--flag VALUE".
    const char *flag;
    const char *valueName;    // the headless help's name of the value ("NAME", "SIZE", "FILE")
    bool flagReadsFile;       // the headless value names a file that holds the text
    QList<OptionChoice> (*choices)(); // a Choice's values; null for the others
    const char *pattern;      // a Choice value outside `choices` is valid where it matches this (whole, any case)

    QString keyText() const { return QString::fromLatin1(key); }
    QString flagText() const { return QString::fromLatin1(flag); }
    QList<OptionChoice> choiceList() const { return choices ? choices() : QList<OptionChoice>(); }
    // Whether `value` is one this option can take.
    bool accepts(const QString &value) const;
    // A valid value read from text of any case or spacing ("TRUE", " xml"):
    // the value as stored, or an empty result when it is not one.
    std::optional<QString> normalized(const QString &value) const;
};

// A context window size of common AI assistants.
struct ContextSize
{
    qint64 tokens;
    const char *name; // "128K"
};

namespace OptionTable {

// Every option, in the order their arguments reach the packer.
std::span<const OptionSpec> all();
// The option stored under `key`; null when there is none.
const OptionSpec *find(QAnyStringView key);
QString sectionTitle(OptionSpec::Section section);
// The context sizes the context limit chooses from, smallest first.
std::span<const ContextSize> contextSizes();
// The tokens of the context size named `name` (any case); the largest for
// a name that is none of them.
qint64 contextSizeTokens(QStringView name);

} // namespace OptionTable

// The keys of the options that code outside the table reads by name.
namespace OptionKey {
inline constexpr char style[] = "style";
inline constexpr char tokenEncoding[] = "tokenEncoding";
inline constexpr char splitOutput[] = "splitOutput";
inline constexpr char headerText[] = "headerText";
inline constexpr char instructions[] = "instructions";
inline constexpr char contextLimit[] = "contextLimit";
} // namespace OptionKey
