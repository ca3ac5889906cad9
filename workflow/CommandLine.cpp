#include "CommandLine.h"

#include "OptionTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

namespace {

const QString bundleName = QStringLiteral("bundle");
const QString estimateName = QStringLiteral("estimate");

// Options of Qt's own that the window takes from its command line.
const QStringList qtOptionsWithValue{QStringLiteral("platform"),  QStringLiteral("platformpluginpath"),
                                     QStringLiteral("platformtheme"), QStringLiteral("plugin"),
                                     QStringLiteral("display"),   QStringLiteral("geometry"),
                                     QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowtitle"),
                                     QStringLiteral("qwindowicon"), QStringLiteral("session"),
                                     QStringLiteral("name"),      QStringLiteral("title")};
const QStringList qtFlags{QStringLiteral("reverse"), QStringLiteral("nograb"), QStringLiteral("dograb"),
                          QStringLiteral("sync")};

struct Parser
{
    QCommandLineParser parser;
    QList<QCommandLineOption> qtOptions;

    Parser()
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(QStringLiteral(
            "Bundles files and folders into one text file for an AI assistant.\n"
            "Without --bundle or --estimate, opens the window with the given files and folders in its list.\n"
            "The output options default to the ones chosen in the window; those given here apply to this run only.\n"
            "Exit status: 0 done, 1 the bundle failed or there was nothing to bundle (the output file is then left as it\n"
            "was), 2 a wrong request, 130 stopped by a signal."));
        parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help.")});
        parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Shows the version.")});
        parser.addOption({bundleName,
                          QStringLiteral("Bundles the PATHs into OUTPUT without a window, prints the totals and what "
                                         "was left out, and exits."),
                          QStringLiteral("OUTPUT")});
        parser.addOption({estimateName,
                          QStringLiteral("Prints the totals of a bundle of the PATHs and each file's part, largest "
                                         "first, without writing anything.")});
        parser.addOption({QStringLiteral("json"), QStringLiteral("With --estimate: prints JSON instead of a table.")});
        parser.addOption({QStringLiteral("copy"),
                          QStringLiteral("With --bundle: puts the bundle's text on the clipboard too (kept after "
                                         "Lumbrel exits where the desktop keeps clipboards).")});
        parser.addOption({QStringLiteral("exclude"),
                          QStringLiteral("Comma-separated paths, relative to a chosen folder, to leave out (as unticking "
                                         "them in the window does)."),
                          QStringLiteral("PATHS")});
        parser.addOption({QStringLiteral("changed"),
                          QStringLiteral("Takes only the files git reports as modified, added or untracked in each "
                                         "chosen folder.")});
        parser.addOption({QStringLiteral("skip-missing"),
                          QStringLiteral("Leaves out PATHs that do not exist instead of failing.")});
        parser.addOption({QStringLiteral("ignore"),
                          QStringLiteral("Comma-separated patterns of files to leave out."), QStringLiteral("PATTERNS")});
        parser.addOption({QStringLiteral("include"),
                          QStringLiteral("Comma-separated patterns: only the files they match are bundled."),
                          QStringLiteral("PATTERNS")});
        for (const OptionSpec &option : OptionTable::all()) {
            const QString description = QString::fromUtf8(option.label) + QStringLiteral(": ")
                + QString::fromUtf8(option.toolTip);
            if (option.kind == OptionSpec::Kind::Switch) {
                const bool onByDefault = QLatin1String(option.defaultValue) == QLatin1String("true");
                parser.addOption({option.flagText(), description + (onByDefault ? QStringLiteral(" (default: on)") : QString())});
                parser.addOption({QStringLiteral("no-") + option.flagText(),
                                  (onByDefault ? QString() : QStringLiteral("(default) ")) + QStringLiteral("Turns off ")
                                      + option.flagText() + QLatin1Char('.')});
                continue;
            }
            QString values;
            if (option.choices) {
                QStringList names;
                for (const OptionChoice &choice : option.choiceList())
                    names << (choice.value.isEmpty() ? QStringLiteral("off") : choice.value);
                values = QStringLiteral(" One of: ") + names.join(QStringLiteral(", "))
                    + (option.pattern ? QStringLiteral(", or a size like 750kb or 1.5mb.") : QStringLiteral("."));
            }
            if (option.flagReadsFile)
                values += QStringLiteral(" Read from FILE.");
            parser.addOption({option.flagText(), description + values, QString::fromLatin1(option.valueName)});
        }
        parser.addOption({QStringLiteral("verbose"), QStringLiteral("Logs the packer's command line too.")});
        for (const QString &name : qtOptionsWithValue) {
            qtOptions.append({name, QString(), QStringLiteral("VALUE")});
            qtOptions.last().setFlags(QCommandLineOption::HiddenFromHelp);
        }
        for (const QString &name : qtFlags) {
            qtOptions.append({name, QString()});
            qtOptions.last().setFlags(QCommandLineOption::HiddenFromHelp);
        }
        parser.addOptions(qtOptions);
        parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("Files and folders to bundle."),
                                     QStringLiteral("[PATH...]"));
    }
};

// How `name` was written on the command line ("--bundel", "-rf").
QString spelling(const QString &name, const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        for (const QString &dashes : {QStringLiteral("--"), QStringLiteral("-")}) {
            if (argument == dashes + name || argument.startsWith(dashes + name + QLatin1Char('=')))
                return dashes + name;
        }
    }
    return QStringLiteral("--") + name;
}

CommandLine failure(const QString &message)
{
    CommandLine command;
    command.mode = CommandLine::Mode::Error;
    command.error = message;
    return command;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    Parser p;
    QCommandLineParser &parser = p.parser;
    if (!parser.parse(QStringList{QStringLiteral("lumbrel")} + arguments)) {
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
            const QString option = spelling(unknown.first(), arguments);
            return failure(option.startsWith(QLatin1String("--"))
                               ? QStringLiteral("unknown option %1 (see --help)").arg(option)
                               : QStringLiteral("unknown option %1; to name a file that starts with \"-\", put -- "
                                                "before it").arg(option));
        }
        return failure(parser.errorText().trimmed()); // "Missing value after '--style'."
    }

    CommandLine command;
    if (parser.isSet(QStringLiteral("help"))) {
        command.mode = Mode::Help;
        return command;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        command.mode = Mode::Version;
        return command;
    }
    const bool bundle = parser.isSet(bundleName);
    const bool estimate = parser.isSet(estimateName);
    if (bundle && estimate)
        return failure(QStringLiteral("--bundle and --estimate go one at a time"));
    command.mode = bundle ? Mode::Bundle : estimate ? Mode::Estimate : Mode::Window;
    command.paths = parser.positionalArguments();
    if (bundle) {
        const QStringList outputs = parser.values(bundleName);
        if (outputs.size() > 1)
            return failure(QStringLiteral("--bundle takes one output file"));
        command.output = outputs.first();
        if (command.output.isEmpty())
            return failure(QStringLiteral("--bundle needs the name of the output file"));
    }

    // Options that only make sense without a window.
    QStringList given;
    const auto take = [&](const QString &name) {
        if (!parser.isSet(name))
            return false;
        given << spelling(name, arguments);
        return true;
    };
    command.copy = take(QStringLiteral("copy"));
    command.json = take(QStringLiteral("json"));
    command.skipMissing = take(QStringLiteral("skip-missing"));
    command.verbose = take(QStringLiteral("verbose"));
    command.changed = take(QStringLiteral("changed"));
    if (take(QStringLiteral("exclude"))) {
        for (const QString &value : parser.values(QStringLiteral("exclude"))) {
            for (QString path : value.split(u',', Qt::SkipEmptyParts)) {
                path = QDir::cleanPath(QDir::fromNativeSeparators(path.trimmed()));
                if (path.startsWith(QLatin1String("./")))
                    path = path.mid(2);
                if (path.isEmpty() || path == QLatin1String(".") || QDir::isAbsolutePath(path) || path.startsWith(QLatin1String("..")))
                    return failure(QStringLiteral("--exclude takes paths inside the chosen folders, not \"%1\"").arg(value));
                command.exclude << path;
            }
        }
    }
    if (take(QStringLiteral("ignore")))
        command.ignorePatterns = parser.value(QStringLiteral("ignore"));
    if (take(QStringLiteral("include")))
        command.includePatterns = parser.value(QStringLiteral("include"));
    for (const OptionSpec &option : OptionTable::all()) {
        const QString flag = option.flagText();
        if (option.kind == OptionSpec::Kind::Switch) {
            const bool on = take(flag);
            const bool off = take(QStringLiteral("no-") + flag);
            if (on && off)
                return failure(QStringLiteral("--%1 and --no-%1 contradict each other").arg(flag));
            if (on || off)
                command.options.append({option.keyText(), on ? QStringLiteral("true") : QStringLiteral("false")});
            continue;
        }
        if (!take(flag))
            continue;
        const QString text = parser.values(flag).constLast();
        if (option.flagReadsFile) {
            if (text.isEmpty())
                return failure(QStringLiteral("--%1 needs a file name").arg(flag));
            command.options.append({option.keyText(), text});
            continue;
        }
        const std::optional<QString> value = option.normalized(text);
        if (!value) {
            QStringList names;
            for (const OptionChoice &choice : option.choiceList())
                names << (choice.value.isEmpty() ? QStringLiteral("off") : choice.value);
            const QString last = names.isEmpty() ? QString() : names.takeLast();
            return failure(QStringLiteral("--%1 takes %2%3, not \"%4\"")
                               .arg(flag, names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last,
                                    option.pattern ? QStringLiteral(" or a size like 750kb") : QString(), text));
        }
        command.options.append({option.keyText(), *value});
    }

    if (command.mode == Mode::Window) {
        if (!given.isEmpty())
            return failure(QStringLiteral("%1 goes with --bundle or --estimate").arg(given.first()));
        return command;
    }
    if (command.json && command.mode != Mode::Estimate)
        return failure(QStringLiteral("--json goes with --estimate"));
    if (command.copy && command.mode != Mode::Bundle)
        return failure(QStringLiteral("--copy goes with --bundle"));
    for (const QCommandLineOption &qt : std::as_const(p.qtOptions)) {
        if (parser.isSet(qt))
            return failure(QStringLiteral("%1 is an option of the window").arg(spelling(qt.names().first(), arguments)));
    }
    if (command.paths.isEmpty())
        return failure(QStringLiteral("name the files and folders to bundle after the options"));
    return command;
}

QString CommandLine::helpText()
{
    Parser p;
    QString text = p.parser.helpText();
    // QCommandLineParser names the program after the running binary; the help reads the same everywhere.
    const QString program = QCoreApplication::instance() ? QCoreApplication::arguments().value(0) : QString();
    if (!program.isEmpty())
        text.replace(QStringLiteral("Usage: ") + program, QStringLiteral("Usage: lumbrel"));
    return text;
}
