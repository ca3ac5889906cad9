#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// What the application was asked to do on its command line. Without --bundle
// or --estimate it opens the window with the given files and folders in its
// list; with them it works without a window (HeadlessBundle). Every output
// option of OptionTable has a flag: a switch "--flag" and "--no-flag", any
// other "--flag VALUE". Anything that is not an option is a path; "--" ends
// the options, so that a path may start with "-".
struct CommandLine
{
    enum class Mode {
        Window,   // open the window with `paths`
        Bundle,   // write a bundle of `paths` to `output`
        Estimate, // print the totals and per-file counts of `paths`
        Help,
        Version,
        Error,    // `error` says what is wrong; the exit status is 2
    };

    Mode mode = Mode::Window;
    QString output;
    QStringList paths;
    // The options given, by key, as the table stores them; the instructions'
    // value is the name of the file that holds them (OptionSpec::flagReadsFile).
    QList<std::pair<QString, QString>> options;
    std::optional<QString> ignorePatterns;
    std::optional<QString> includePatterns;
    QStringList exclude;      // --exclude: paths inside the chosen folders to leave out
    bool changed = false;     // --changed: only what git reports as changed in each chosen folder
    bool copy = false;        // --copy: the bundle goes to the clipboard too
    bool json = false;        // --json: the estimate as JSON
    bool skipMissing = false; // --skip-missing: paths that do not exist are left out
    bool verbose = false;     // --verbose: the packer's argument line on standard error
    QString error;            // Mode::Error: one line, naming the option

    // Parses the arguments after the program's name.
    static CommandLine parse(const QStringList &arguments);
    // The text of --help, with every option of the table.
    static QString helpText();
};
