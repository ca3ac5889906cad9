// The option table and what reads it: the store, the packer's arguments and
// the command line. Every option of the table has a row below.
#include "BundleOptions.h"
#include "CommandLine.h"
#include "PackerArguments.h"
#include "PrivateArea.h"
#include "RecentSelections.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

class OptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("LumbrelTest"));
        QCoreApplication::setApplicationName(QStringLiteral("Options"));
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
        m_store->clear();
    }

    // key, its default, another value, what that value adds to the packer's
    // arguments, and how the command line says it.
    void everyOption_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("flags");

        const auto row = [](const char *key, const char *defaultValue, const char *other, const QStringList &arguments,
                            const QStringList &flags) {
            QTest::newRow(key) << key << defaultValue << other << arguments << flags;
        };
        // The first seven keep their keys, defaults and arguments of old.
        row("style", "plain", "xml", {"--style", "xml"}, {"--style", "XML"});
        row("addSummary", "true", "false", {"--no-file-summary"}, {"--no-summary"});
        row("addFileStructure", "true", "false", {"--no-directory-structure"}, {"--no-file-structure"});
        row("removeEmptyLines", "false", "true", {"--remove-empty-lines"}, {"--remove-empty-lines"});
        row("removeComments", "true", "false", {}, {"--no-remove-comments"});
        row("showLineNumbers", "false", "true", {"--output-show-line-numbers"}, {"--line-numbers"});
        row("securityCheck", "true", "false", {"--no-security-check"}, {"--no-security-check"});
        row("compress", "false", "true", {"--compress"}, {"--compress"});
        row("truncateBase64", "false", "true", {"--truncate-base64"}, {"--truncate-base64"});
        row("parsableStyle", "false", "true", {"--parsable-style"}, {"--escape-contents"});
        row("useGitignore", "true", "false", {"--no-gitignore"}, {"--no-gitignore"});
        row("useDotIgnore", "true", "false", {"--no-dot-ignore"}, {"--no-dot-ignore"});
        row("tokenEncoding", "o200k_base", "cl100k_base", {"--token-count-encoding", "cl100k_base"},
            {"--encoding", "cl100k_base"});
        row("splitOutput", "", "2mb", {"--split-output", "2mb"}, {"--split-output", "2 MB"});
        row("headerText", "", "-- Read me first --", {"--header-text", "-- Read me first --"},
            {"--header-text=-- Read me first --"});
        row("instructions", "", "Be brief.", {"--instruction-file-path", "<file>"}, {"--instructions", "notes.md"});
        row("contextLimit", "1M", "200K", {}, {"--context-limit", "200k"}); // the window's own: never the packer's
    }
    void everyOption()
    {
        QFETCH(QString, key);
        QFETCH(QString, defaultValue);
        QFETCH(QString, other);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, flags);
        m_tested << key;
        const OptionSpec *option = OptionTable::find(key);
        QVERIFY(option);

        // Stored under its key, read back by every holder and after a restart.
        BundleOptions writer(m_store.get());
        BundleOptions reader(m_store.get());
        QCOMPARE(reader.value(key), defaultValue);
        QSignalSpy changed(&writer, &BundleOptions::valueChanged);
        QVERIFY(writer.setValue(key, other));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(reader.value(key), other);
        QCOMPARE(reader.values().text(key), other);
        m_store->sync();
        QCOMPARE(QSettings(m_store->fileName(), QSettings::IniFormat).value(key).toString(), other);

        // The packer hears of it only where it differs from the default.
        PackRequest request;
        request.output = QStringLiteral("/out.txt");
        request.optionFiles.insert(OptionKey::instructions, QStringLiteral("<file>"));
        const QStringList defaults = jobArguments(request);
        request.options.set(key, other);
        QStringList added = jobArguments(request);
        for (const QString &argument : defaults)
            added.removeOne(argument);
        if (key == QLatin1String("style"))
            added.prepend(QStringLiteral("--style")); // always passed: only its value changed
        if (key == QLatin1String("removeComments"))
            QVERIFY(defaults.contains("--remove-comments") && !jobArguments(request).contains("--remove-comments"));
        QCOMPARE(added, arguments);

        // The command line sets it for one run.
        const CommandLine command = CommandLine::parse(QStringList{"--estimate"} + flags + QStringList{"x"});
        QCOMPARE(command.error, QString());
        if (option->flagReadsFile)
            QCOMPARE(command.options, (QList<std::pair<QString, QString>>{{key, flags.last()}}));
        else
            QCOMPARE(command.options, (QList<std::pair<QString, QString>>{{key, other}}));
        QVERIFY(CommandLine::helpText().contains(QStringLiteral("--") + option->flagText()));
    }
    void everyOptionHasItsRow()
    {
        for (const OptionSpec &option : OptionTable::all())
            QVERIFY2(m_tested.contains(option.keyText()), option.key);
    }

    void valuesTheApplicationDidNotWriteReadAsDefaults()
    {
        m_store->setValue("style", "Markdown"); // exactly as written, or not at all
        m_store->setValue("removeComments", "banana");
        m_store->setValue("showLineNumbers", " TRUE");
        m_store->setValue("splitOutput", "3 MB");
        m_store->setValue("tokenEncoding", "p50k_base");
        BundleOptions options(m_store.get());
        QCOMPARE(options.values().style(), OutputStyle::Plain);
        QCOMPARE(options.value("removeComments"), "true");
        QCOMPARE(options.value("showLineNumbers"), "true");
        QCOMPARE(options.value("splitOutput"), "");
        QCOMPARE(options.value("tokenEncoding"), "o200k_base");
        m_store->setValue("splitOutput", "750kb"); // a size of its own is one too
        QCOMPARE(options.value("splitOutput"), "750kb");
        QVERIFY(!options.setValue("tokenEncoding", "p50k_base"));
        QVERIFY(!options.setValue("noSuchOption", "true"));
        QVERIFY(m_store->value("tokenEncoding").toString() == "p50k_base");
    }

    void anUnwritableStoreSaysSoOnce()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QSettings store(dir.filePath("file/options.ini"), QSettings::IniFormat); // its folder is a file
        BundleOptions options(&store);
        QSignalSpy failed(&options, &BundleOptions::storeFailed);
        options.setValue("style", "xml");
        options.setOn("showLineNumbers", true);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.at(0).at(0).toString().contains(dir.filePath("file/options.ini")));
        QCOMPARE(options.value("style"), QStringLiteral("xml")); // the change holds while the application runs
    }

    // A settings file that is not a file (a FIFO would block every read) is
    // never opened, by anything that reads or names the store: the defaults
    // apply, changes last the session, the recent selections stay in memory,
    // and a job still knows which files are the application's own.
    void aSettingsFileThatIsNoFileIsNotRead()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        QDir(home.path()).mkpath(QCoreApplication::organizationName());
        const QString file = home.filePath(QCoreApplication::organizationName() + "/" + QCoreApplication::applicationName() + ".conf");
        QVERIFY(::mkfifo(file.toLocal8Bit().constData(), 0600) == 0);

        // What blocks on the FIFO is let go by a writer after a while, so a
        // regression fails here instead of hanging the suite.
        const auto returnsPromptly = [&file](auto &&call) {
            auto done = std::async(std::launch::async, std::forward<decltype(call)>(call));
            if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
                return true;
            const int writer = ::open(file.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK);
            done.wait();
            ::close(writer);
            return false;
        };

        QVERIFY2(returnsPromptly([&file] {
                     BundleOptions options;
                     QVERIFY2(options.storeProblem().contains(file), qPrintable(options.storeProblem()));
                     QCOMPARE(options.value("style"), "plain");
                     QVERIFY(options.setValue("style", "markdown"));
                     QCOMPARE(options.value("style"), "markdown");
                 }),
                 "the options opened the settings file");
        QVERIFY2(returnsPromptly([] {
                     RecentSelections recent;
                     recent.record({QUrl::fromLocalFile(QDir::tempPath())});
                     QCOMPARE(recent.count(), 1);
                 }),
                 "the recent selections opened the settings file");
        QStringList own;
        QVERIFY2(returnsPromptly([&own] { own = PrivateArea::ownLocations(); }), "the job's own files opened the settings file");
        QVERIFY2(own.contains(file), qPrintable(own.join('\n')));
    }

    void argumentOrder()
    {
        PackRequest request;
        request.output = QStringLiteral("/o u t.txt");
        request.directory = QStringLiteral("/staging");
        request.ignorePatterns = QStringLiteral("*.log, dist/**, a b");
        request.includePatterns = QStringLiteral(" ");
        request.defaultRulesApplied = true;
        for (const char *key : {"addSummary", "addFileStructure", "securityCheck"})
            request.options.setOn(key, false);
        for (const char *key : {"removeEmptyLines", "showLineNumbers", "compress"})
            request.options.setOn(key, true);
        request.options.set(OptionKey::style, QStringLiteral("markdown"));
        QCOMPARE(packerArguments(request),
                 QString("--output|/o u t.txt|--style|markdown|--no-file-summary|--no-directory-structure|--remove-empty-lines|"
                         "--remove-comments|--output-show-line-numbers|--no-security-check|--compress|--ignore|"
                         "*.log, dist/**, a b|--include| |--verbose|--no-default-patterns|/staging")
                     .split(u'|'));
        request.patternsApplied = true; // the staging applied them: not again at its root
        QVERIFY(!packerArguments(request).contains("--ignore") && !packerArguments(request).contains("--include"));
    }

    // What is not an option is a path; what looks like one and is not, or
    // lacks its value, is refused with a line that names it.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("paths");
        const auto row = [](const char *name, const QStringList &arguments, CommandLine::Mode mode, const char *error,
                            const QStringList &paths = {}) {
            QTest::newRow(name) << arguments << int(mode) << QString::fromUtf8(error) << paths;
        };
        using Mode = CommandLine::Mode;
        row("window with paths", {"a", "b"}, Mode::Window, "", {"a", "b"});
        row("-- ends the options", {"--", "-v", "--bundle"}, Mode::Window, "", {"-v", "--bundle"});
        row("a mistyped option", {"--bundel", "out.txt", "src"}, Mode::Error, "unknown option --bundel (see --help)");
        row("a dash name needs --", {"--bundle", "o", "-rf"}, Mode::Error, "unknown option -rf; to name a file that starts with \"-\", put -- before it");
        row("a missing value", {"--bundle", "o", "x", "--style"}, Mode::Error, "Missing value after '--style'.");
        row("an empty output", {"--bundle=", "x"}, Mode::Error, "--bundle needs the name of the output file");
        row("a bad value", {"--bundle", "o", "--style", "json", "x"}, Mode::Error,
            "--style takes plain, xml or markdown, not \"json\"");
        row("a bad size", {"--estimate", "--split-output", "2gb", "x"}, Mode::Error,
            "--split-output takes off, 100kb, 500kb, 1mb, 2mb, 5mb or 10mb or a size like 750kb, not \"2gb\"");
        row("contradiction", {"--estimate", "--compress", "--no-compress", "x"}, Mode::Error,
            "--compress and --no-compress contradict each other");
        row("a job option without a job", {"--compress", "x"}, Mode::Error, "--compress goes with --bundle or --estimate");
        row("no paths", {"--bundle", "o"}, Mode::Error, "name the files and folders to bundle after the options");
        row("json without estimate", {"--bundle", "o", "--json", "x"}, Mode::Error, "--json goes with --estimate");
        row("Qt's own option for the window", {"-platform", "offscreen", "a"}, Mode::Window, "", {"a"});
        row("a bundle", {"--bundle", "o", "--no-summary", "--", "-x"}, Mode::Bundle, "", {"-x"});
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(QString, error);
        QFETCH(QStringList, paths);
        const CommandLine command = CommandLine::parse(arguments);
        QCOMPARE(command.error, error);
        QCOMPARE(int(command.mode), mode);
        QCOMPARE(command.paths, paths);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
    QStringList m_tested;
};

QTEST_GUILESS_MAIN(OptionsTest)
#include "tst_options.moc"
