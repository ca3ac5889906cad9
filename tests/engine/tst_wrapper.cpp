#include "FakePacker.h"
#include "NativePath.h"
#include "Processes.h"
#include "RepomixWrapper.h"
#include "RunnerError.h"
#include "TestFiles.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

Q_DECLARE_METATYPE(PackerLocation)

namespace {
fs::path pathOf(const QUrl &url)
{
    return fs::path(url.toLocalFile().toStdString());
}

QString text(const fs::path &path)
{
    return QString::fromStdString(path.string());
}

// The reason each path was left out for, by path.
QMap<QString, LeftOutReason> reasons(const Staging &staging)
{
    QMap<QString, LeftOutReason> map;
    for (const LeftOut &entry : staging.leftOut)
        map.insert(entry.path, entry.reason);
    return map;
}

// Removes a chain of folders named `segment` below `folder`, deeper than a
// path may be long.
void removeDeepChain(const fs::path &folder, const std::string &segment)
{
    std::vector<int> fds{::open(folder.c_str(), O_RDONLY | O_DIRECTORY)};
    for (int next; (next = ::openat(fds.back(), segment.c_str(), O_RDONLY | O_DIRECTORY)) >= 0;)
        fds.push_back(next);
    ::unlinkat(fds.back(), "bottom.txt", 0);
    for (std::size_t i = fds.size() - 1; i > 0; --i) {
        ::close(fds[i]);
        ::unlinkat(fds[i - 1], segment.c_str(), AT_REMOVEDIR);
    }
    ::close(fds.front());
}

// Child mode: runs a packer that records its pid and sleeps, until killed.
int runSleepingPacker(const char *script, const char *output)
{
    RepomixWrapper wrapper(PackerLocation{QStringLiteral("/bin/sh"), QString::fromLocal8Bit(script)});
    packWith(wrapper, QString::fromLocal8Bit(output));
    return 0;
}
} // namespace

class WrapperTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Every test gets its own temporary directory, and with it its own session.
        m_temp = std::make_unique<PrivateTemp>();
        qputenv("XDG_CACHE_HOME", (m_temp->path() + "/cache").toUtf8());
        m_src = m_temp->root() / "src";
        fs::create_directories(m_src);
    }
    void cleanup() { m_temp.reset(); }

    // What the packer cannot or must not read stays out of the staging, each
    // with its reason; chosen links stand for what they point to, links
    // inside folders stay links. Discarding removes the staging, never what
    // its links point to, and never a folder that is not a staging.
    void stagesAUsersTreeSafely()
    {
        const fs::path project = m_src / "project";
        const char *const defaultRuleFolders[] = {".git", "deep/.svn", "web/node_modules", "py/__pycache__"};
        for (const char *folder : defaultRuleFolders)
            writeFile(project / folder / "file", "x");
        for (const char *path : {"main.c", "locked/inner.txt", "a/keep.c", "docs/x.md"})
            writeFile(project / path, "x");
        fs::create_symlink("..", project / "loop");
        fs::create_symlink(m_src / "real/file.txt", project / "absolute-link");
        QCOMPARE(::mkfifo((project / "pipe").c_str(), 0600), 0);
        const std::string oddName = "caf\xe9.txt"; // Latin-1, not valid UTF-8
        writeFile(project / oddName, "odd");
        writeFile(project / "huge.txt", "");
        fs::resize_file(project / "huge.txt", 50 * 1024 * 1024 + 1); // sparse: one byte over the packer's limit
        fs::permissions(project / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        writeFile(m_src / "a.txt", "alpha");
        writeFile(m_src / "real/folder/inner/a.txt", "a");
        fs::create_symlink("inner", m_src / "real/folder/link-inside");
        writeFile(m_src / "real/file.txt", "f");
        fs::create_symlink(m_src / "real/folder", m_src / "folder-link");
        fs::create_symlink("real/file.txt", m_src / "file-link");
        fs::create_symlink("nowhere", m_src / "dangling");

        RepomixWrapper wrapper(bundledPacker());
        const auto staged = wrapper.stage({{urlOf(m_src / "a.txt"), urlOf(project), urlOf(m_src / "vanished"),
                                            urlOf(m_src / "folder-link"), urlOf(m_src / "file-link"), urlOf(m_src / "dangling")},
                                           QStringLiteral("**/*.md, {a,b}/**")});
        QVERIFY2(staged.ok(), qPrintable(staged ? QString() : staged.error().description));
        const fs::path root = pathOf(staged.value().directory);
        QCOMPARE(text(root.parent_path()), PrivateArea::sessionDirectory().value());
        QCOMPARE(modeOf(text(root)), 0700u); // nobody else reads the staging
        QVERIFY(staged.value().defaultRulesApplied);
        QCOMPARE(fs::file_size(root / "a.txt"), 5u);

        const fs::path copy = root / "project";
        for (const char *kept : {"main.c", "locked/inner.txt"})
            QVERIFY2(fs::exists(copy / kept), kept);
        QCOMPARE(fs::read_symlink(copy / "loop").string(), std::string(".."));
        QCOMPARE(fs::read_symlink(copy / "absolute-link"), m_src / "real/file.txt");
        QVERIFY(fs::is_directory(fs::symlink_status(root / "folder-link")));
        QCOMPARE(readAll(text(root / "folder-link/inner/a.txt")), QByteArray("a"));
        QVERIFY(fs::is_symlink(root / "folder-link/link-inside"));
        QVERIFY(fs::is_regular_file(fs::symlink_status(root / "file-link")));
        QMap<QString, LeftOutReason> expected{
            {text(m_src / "vanished"), LeftOutReason::Missing},
            {text(m_src / "dangling"), LeftOutReason::Missing},
            {text(project / "pipe"), LeftOutReason::SpecialFile},
            {QFile::decodeName((project / oddName).c_str()), LeftOutReason::InvalidName},
            {text(project / "huge.txt"), LeftOutReason::TooLarge},
            {text(project / "docs/x.md"), LeftOutReason::IgnorePattern},
            {text(project / "a"), LeftOutReason::IgnorePattern}, // "{a,b}/**" within the folder
        };
        for (const char *folder : defaultRuleFolders)
            expected.insert(text(project / folder), LeftOutReason::DefaultRule);
        QCOMPARE(reasons(staged.value()), expected);
        for (const QString &path : expected.keys()) // nothing left out is in the staging
            QVERIFY2(!fs::exists(fs::symlink_status(root / fs::path(path.toStdString()).lexically_relative(m_src))), qPrintable(path));

        wrapper.discardDirectory(urlOf(project));
        wrapper.discardDirectory(staged.value().directory); // one removal after the other
        QTRY_VERIFY(!fs::exists(root));
        QVERIFY(fs::exists(project / "main.c") && fs::exists(m_src / "real/file.txt"));
    }

    void sameNamesGetDistinctNames()
    {
        QList<QUrl> items;
        for (const char *path : {"one/README.md", "two/README.md", "three/README.md", "x/src", "y/src", "z/README (2).md"}) {
            writeFile(QString::fromUtf8(path).endsWith("src") ? m_src / path / "a.c" : m_src / path, path);
            items << urlOf(m_src / path);
        }
        RepomixWrapper wrapper(m_packer.succeeding(1, 1, 1));
        const auto staged = wrapper.stage({items});
        QVERIFY(staged.ok());
        QStringList names;
        for (const StagedItem &item : staged.value().items) {
            names << item.stagedName;
            QCOMPARE(item.renamed, item.stagedName != QFileInfo(item.source.toLocalFile()).fileName());
        }
        QCOMPARE(names, (QStringList{"README.md", "README (2).md", "README (3).md", "src", "src (2)", "README (2) (2).md"}));
        const fs::path root = pathOf(staged.value().directory);
        QCOMPARE(readAll(text(root / "README (3).md")), QByteArray("three/README.md"));
        QCOMPARE(readAll(text(root / "src (2)/a.c")), QByteArray("y/src"));
        QCOMPARE(readAll(text(root / "README (2) (2).md")), QByteArray("z/README (2).md"));
    }

    void unreadableAndVanishingEntriesAreLeftOut()
    {
        const fs::path project = m_src / "project";
        writeFile(project / "kept.txt", "kept");
        writeFile(project / "secret.txt", "secret");
        writeFile(project / "closed/inside.txt", "x");
        fs::permissions(project / "secret.txt", fs::perms::none);
        fs::permissions(project / "closed", fs::perms::none);
        ObeyFilePermissions obey;
        if (!obey.active())
            QSKIP("cannot make a file unreadable for this user");
        for (const bool link : {true, false}) {
            RepomixWrapper wrapper(m_packer.succeeding(1, 1, 1));
            wrapper.setLinkFiles(link);
            // The editor removes its swap file between the listing and the copy.
            wrapper.setFreeSpaceQuery([&](const fs::path &) {
                fs::remove(project / ".kept.txt.swp");
                return std::optional<std::uintmax_t>();
            });
            writeFile(project / ".kept.txt.swp", "swap");
            const auto staged = wrapper.stage({{urlOf(project)}});
            QVERIFY2(staged.ok(), qPrintable(staged ? QString() : staged.error().description));
            QCOMPARE(reasons(staged.value()), (QMap<QString, LeftOutReason>{
                                                  {text(project / "secret.txt"), LeftOutReason::Unreadable},
                                                  {text(project / "closed"), LeftOutReason::Unreadable},
                                                  {text(project / ".kept.txt.swp"), LeftOutReason::Vanished}}));
            const fs::path root = pathOf(staged.value().directory);
            QCOMPARE(readAll(text(root / "project/kept.txt")), QByteArray("kept"));
            QVERIFY(!fs::exists(root / "project/secret.txt"));
        }
    }

    // The free space asked for is what will be copied (linked files take
    // none) and about what the packer will write, from the text it reads.
    void refusesWhenTheTemporaryDiskIsFull()
    {
        writeFile(m_src / "photos/readme.txt", "hello");
        writeFile(m_src / "photos/holiday.png", "");
        fs::resize_file(m_src / "photos/holiday.png", 12'000'000); // sparse; the packer reads no image
        FakePacker packer;
        packer.provideBinaryExtensions();
        RepomixWrapper wrapper(packer.succeeding(1, 1, 1));
        wrapper.setFreeSpaceQuery([](const fs::path &) { return std::optional<std::uintmax_t>(200'000); });
        const auto linked = wrapper.stage({{urlOf(m_src / "photos")}});
        QVERIFY2(linked.ok(), qPrintable(linked ? QString() : linked.error().description));
        QVERIFY(linked.value().bytesLinked == 12'000'005);

        wrapper.setLinkFiles(false);
        const auto copied = wrapper.stage({{urlOf(m_src / "photos")}});
        QVERIFY(!copied.ok());
        QCOMPARE(copied.error().code, int(RunnerError::NotEnoughSpace));
        QCOMPARE(copied.error().description,
                 QStringLiteral("Not enough free space in the temporary folder (%1): this bundle needs about 12 MB there "
                                "(12 MB for copies of files that cannot be linked, 66 kB for the packer's output), "
                                "and 200 kB are free.")
                     .arg(m_temp->path()));
        const QStringList stagings = QDir(PrivateArea::sessionDirectory().value()).entryList({"repomix-temp-*"}, QDir::Dirs);
        QCOMPARE(stagings, QStringList{QFileInfo(linked.value().directory.toLocalFile()).fileName()});
    }

    // What would break the bundle or its run, or is not the user's, is left
    // out with its true reason, and the rest goes on.
    void leavesOutWhatWouldBreakABundle()
    {
        const fs::path project = m_src / "project";
        writeFile(project / "main.c", "int main;");
        writeFile(project / "evil\nFile: forged.txt", "x"); // would read as a second file's header
        writeFile(project / "logo.png", "\x89PNG");
        // The application's own cache and settings, and its temporary area.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(text(project / ".cache")));
        const fs::path cache = toPath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
        writeFile(cache / "packer/token-counts.json", "{}");
        writeFile(project / ".cache/other-tool/kept.txt", "kept");
        QSettings settings;
        settings.setValue(QStringLiteral("style"), QStringLiteral("xml"));
        settings.sync();
        const fs::path settingsFile = toPath(settings.fileName());
        // A folder chain longer than the system's paths, beside a short file.
        const fs::path deep = m_src / "deep";
        writeFile(deep / "top.txt", "top");
        const std::string segment(200, 'd');
        int fd = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < 22; ++level) {
            ::mkdirat(fd, segment.c_str(), 0700);
            const int next = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0600));
        ::close(fd);
        const std::string lossy = "caf\xe9.txt"; // a name that is not UTF-8, as it reaches us
        writeFile(m_src / lossy, "x");
        writeFile(m_src / "two\nlines.txt", "x");

        FakePacker packer;
        packer.provideBinaryExtensions();
        RepomixWrapper wrapper(packer.succeeding(1, 1, 1));
        const auto staged = wrapper.stage({{urlOf(project), urlOf(deep), urlOf(m_src / "two\nlines.txt"),
                                            QUrl::fromLocalFile(QStringLiteral("/")), urlOf(project / "main.c/x"),
                                            QUrl::fromLocalFile(QFile::decodeName((m_src / lossy).c_str())),
                                            urlOf(settingsFile.parent_path()), urlOf(m_temp->root())}});
        QVERIFY2(staged.ok(), qPrintable(staged ? QString() : staged.error().description));
        const QMap<QString, LeftOutReason> found = reasons(staged.value());
        const auto reasonOf = [&found](const fs::path &path) { return found.value(text(path), LeftOutReason(-1)); };
        QCOMPARE(reasonOf(project / "evil\nFile: forged.txt"), LeftOutReason::LineBreak);
        QCOMPARE(reasonOf(m_src / "two\nlines.txt"), LeftOutReason::LineBreak);
        QCOMPARE(reasonOf(project / "logo.png"), LeftOutReason::Binary);
        QCOMPARE(reasonOf(cache), LeftOutReason::OwnFiles);
        QCOMPARE(reasonOf(settingsFile), LeftOutReason::OwnFiles);
        QCOMPARE(found.value(QStringLiteral("/")), LeftOutReason::FileSystemRoot);
        QCOMPARE(reasonOf(project / "main.c/x"), LeftOutReason::NotAFolder);
        QCOMPARE(found.value(QFile::decodeName((m_src / lossy).c_str())), LeftOutReason::InvalidName);
        QCOMPARE(reasonOf(toPath(PrivateArea::temporaryArea().value())), LeftOutReason::OwnFiles);
        const QList<QString> tooLong = found.keys(LeftOutReason::PathTooLong);
        QCOMPARE(tooLong.size(), 1); // the first folder too deep, not what it holds
        QVERIFY(tooLong.first().startsWith(text(deep / segment)));

        const fs::path root = pathOf(staged.value().directory);
        QVERIFY(fs::exists(root / "project/main.c") && fs::exists(root / "project/logo.png")); // a binary file stays in the tree
        QVERIFY(fs::exists(root / "project/.cache/other-tool/kept.txt"));
        QVERIFY(!fs::exists(root / "project/.cache" / cache.filename()));
        QCOMPARE(readAll(text(root / "deep/top.txt")), QByteArray("top"));
        qunsetenv("XDG_CACHE_HOME");
        removeDeepChain(deep, segment);
    }

    // Only an allow-list of the user's environment reaches the packer: the
    // runtime's own switches (coverage output, warning files, preloads) and
    // anything else stay behind; the locale goes through.
    void runGivesThePackerOnlyOurEnvironment()
    {
        FakePacker packer;
        packer.provideDefaultRules();
        // What the packer sees goes into its output file.
        RepomixWrapper wrapper(packer.location(
            "{ printf 'args:'; printf '%s|' \"$@\"; echo; printf 'cwd:%s\\n' \"$PWD\"\n"
            "printf 'home:%s:%s\\n' \"$HOME\" \"$XDG_CONFIG_HOME\"\n"
            "printf 'tmp:%s\\ncache:%s:%s\\n' \"$TMPDIR\" \"$REPOMIX_TOKEN_CACHE_PATH\" \"$NODE_COMPILE_CACHE\"\n"
            "printf 'locale:%s:%s\\n' \"$LANG\" \"$LC_NUMERIC\"\n"
            "env | grep -E '^(NODE|REPOMIX|FORCE_COLOR|SOMETHING)' | sort; } > \"$out\""));
        const QList<QPair<const char *, const char *>> planted{
            {"NODE_OPTIONS", "--require /tmp/evil.js"}, {"NODE_PATH", "/tmp/modules"},
            {"NODE_V8_COVERAGE", "/tmp/coverage"},      {"NODE_REDIRECT_WARNINGS", "/tmp/warnings"},
            {"REPOMIX_OTHER", "x"},                     {"REPOMIX_TOKEN_CACHE_PATH", "/tmp/planted.json"},
            {"FORCE_COLOR", "3"},                       {"SOMETHING_ELSE", "y"},
            {"LANG", "de_DE.UTF-8"},                    {"LC_NUMERIC", "fr_FR.UTF-8"}};
        for (const auto &[name, value] : planted)
            qputenv(name, value);
        const auto staged = wrapper.stage({});
        QVERIFY(staged.ok());
        const QString output = freshOutput();
        const QString directory = staged.value().directory.toLocalFile();
        const auto run = packWith(wrapper, output, directory, staged.value().defaultRulesApplied);
        for (const auto &[name, value] : planted)
            qunsetenv(name);
        QVERIFY2(run.ok(), qPrintable(run ? QString() : run.error().description));
        QCOMPARE(run.value().outputFiles, QStringList{output});

        const QString session = PrivateArea::sessionDirectory().value();
        const QString cache = m_temp->path() + "/cache/" + QCoreApplication::applicationName() + "/packer";
        QCOMPARE(QString::fromUtf8(readAll(output)),
                 QStringLiteral("args:--output|%1|--style|plain|--remove-comments|--verbose|--no-default-patterns|%2|\n"
                                "cwd:%3/packer-home\nhome:%3/packer-home:%3/packer-home\n"
                                "tmp:%3/packer-tmp\ncache:%4/token-counts.json:%4/node-compile-cache\n"
                                "locale:de_DE.UTF-8:fr_FR.UTF-8\n"
                                "NODE_COMPILE_CACHE=%4/node-compile-cache\n"
                                "REPOMIX_TOKEN_CACHE_PATH=%4/token-counts.json\n")
                     .arg(output, directory, session, cache));
    }

    // Options the packer reads from a file get a private file for the run
    // only; an empty one is not passed at all.
    void instructionsGoThroughAPrivateFile()
    {
        RepomixWrapper wrapper(m_packer.location(
            "prev=''; for a in \"$@\"; do [ \"$prev\" = --instruction-file-path ] && f=\"$a\"; prev=\"$a\"; done\n"
            "{ printf 'file:%s\\n' \"$f\"; cat \"$f\"; stat -c '%a' \"$f\"; } > \"$out\""));
        PackRequest request;
        request.output = freshOutput();
        request.directory = QStringLiteral("/x");
        request.options.set(OptionKey::instructions, QStringLiteral("Review the parser.\nBe brief."));
        const auto run = wrapper.pack(request);
        QVERIFY2(run.ok(), qPrintable(run ? QString() : run.error().description));
        const QStringList seen = QString::fromUtf8(readAll(request.output)).split(u'\n');
        const QString file = seen.value(0).mid(5);
        QVERIFY(file.startsWith(PrivateArea::sessionDirectory().value()));
        QCOMPARE(seen.mid(1, 2), (QStringList{"Review the parser.", "Be brief.600"}));
        QVERIFY(!QFileInfo::exists(file)); // gone with the run
    }

    // The packer's own failures keep its exit status and message; the
    // wrapper's own codes (below -1) say what they are about.
    void failures_data()
    {
        QTest::addColumn<PackerLocation>("packer");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");

        QTest::newRow("non-zero exit keeps the message untrimmed")
            << m_packer.location("printf 'bad option\\n' >&2; exit 3") << 3 << "bad option\n";
        QTest::newRow("unreadable report wins over the exit status")
            << m_packer.location("printf '\\377\\376'; echo oops >&2; exit 4") << -1 << "Failed to read Repomix output.";
        QTest::newRow("unreadable message")
            << m_packer.location("printf '\\377' >&2; exit 5") << -1 << "Repomix process failed with an unknown error.";
        QTest::newRow("exit 0 without writing the bundle")
            << m_packer.location("echo 'Total Files: 1 files'") << int(RunnerError::NoOutputWritten) << "";
        QTest::newRow("ended by a signal")
            << m_packer.location("echo packed > \"$out\"; kill -KILL $$") << int(RunnerError::Crashed) << "";
        QTest::newRow("runtime missing") << PackerLocation{"/nonexistent/node", "/bin/sh"}
                                         << int(RunnerError::RuntimeMissing) << "/nonexistent/node";
        QTest::newRow("script missing") << PackerLocation{"/bin/sh", "/nonexistent/repomix.cjs"}
                                        << int(RunnerError::ScriptMissing) << "/nonexistent/repomix.cjs";
    }
    void failures()
    {
        QFETCH(PackerLocation, packer);
        QFETCH(int, code);
        QFETCH(QString, description);
        RepomixWrapper wrapper(packer);
        const auto report = packWith(wrapper, freshOutput());
        QVERIFY(!report.ok());
        QCOMPARE(report.error().domain, AppError::wrapperDomain);
        QCOMPARE(report.error().code, code);
        if (code >= -1)
            QCOMPARE(report.error().description, description);
        else
            QVERIFY2(report.error().description.contains(description) && !report.error().description.isEmpty(),
                     qPrintable(report.error().description));
    }

    void anOutputThatExistsBeforeTheRunIsRefused()
    {
        const QString marker = m_packer.path(QStringLiteral("started"));
        RepomixWrapper wrapper(m_packer.location("touch '" + marker.toUtf8() + "'; echo packed > \"$out\""));
        const QString output = m_packer.path(QStringLiteral("stale.txt"));
        writeFile(output.toStdString(), "from an earlier run");
        const auto report = packWith(wrapper, output);
        QVERIFY(!report.ok());
        QCOMPARE(report.error().code, int(RunnerError::OutputExists));
        QVERIFY(report.error().description.contains(output));
        QVERIFY(!QFileInfo::exists(marker));
        QCOMPARE(readAll(output), QByteArray("from an earlier run"));
    }

    void drainsLargeOutputOnBothPipes()
    {
        RepomixWrapper wrapper(m_packer.location(
            "echo packed > \"$out\"\n"
            "i=0; while [ $i -lt 20000 ]; do echo \"line $i of a long verbose report\"; "
            "echo \"warning $i\" >&2; i=$((i+1)); done"));
        const auto report = packWith(wrapper, freshOutput());
        QVERIFY(report.ok());
        // The log keeps the end of a report without a summary block: the whole of it was read.
        QVERIFY(report.value().logDigest.endsWith(QLatin1String("line 19999 of a long verbose report")));
    }

    void thePackerDiesWithTheApplication()
    {
#if !defined(Q_OS_LINUX)
        QSKIP("the death signal is Linux-only");
#endif
        const QString pidFile = m_packer.path(QStringLiteral("packer.pid"));
        const PackerLocation sleeper = m_packer.location("echo $$ > '" + pidFile.toUtf8() + "'; exec sleep 300");
        QProcess application;
        application.start(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--run-sleeping-packer"), sleeper.script, freshOutput()});
        QVERIFY(application.waitForStarted(-1));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 60000);
        const pid_t packer = readAll(pidFile).trimmed().toInt();
        QVERIFY(packer > 0 && !processEnded(packer));
        ::kill(static_cast<pid_t>(application.processId()), SIGKILL);
        QVERIFY(application.waitForFinished(-1));
        QTRY_VERIFY(processEnded(packer));
    }

private:
    std::unique_ptr<PrivateTemp> m_temp;
    fs::path m_src;
    FakePacker m_packer;
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--run-sleeping-packer") == 0) {
        QCoreApplication app(argc, argv);
        return runSleepingPacker(argv[2], argv[3]);
    }
    // A settings file of this test's own, which staging must leave out.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication app(argc, argv);
    WrapperTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wrapper.moc"
