// Runs the bundled Node.js runtime and packer for real.
#include "CommandLine.h"
#include "PackerEnvironment.h"
#include "RepomixWrapper.h"
#include "RunSummary.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const PackerLocation bundled{QStringLiteral(LUMBREL_TEST_RUNTIME), QStringLiteral(LUMBREL_TEST_SCRIPT)};

QString fresh()
{
    return PrivateArea::scratchFile(QStringLiteral(".txt")).value();
}

// The files a plain bundle holds, in the order it holds them.
QStringList filesIn(const QByteArray &bundle)
{
    QStringList files;
    static const QRegularExpression header(QStringLiteral("^File: (.*)$"), QRegularExpression::MultilineOption);
    for (auto it = header.globalMatch(QString::fromUtf8(bundle)); it.hasNext();)
        files << it.next().captured(1);
    return files;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

struct Bundle
{
    QString report;
    QByteArray text;
};

// Stages the items and packs them with the default options.
Bundle bundleOf(RepomixWrapper &wrapper, const QList<QUrl> &items, Staging *staging = nullptr)
{
    const Result<Staging> staged = wrapper.stage(items, QString());
    if (!staged) {
        qWarning("staging failed: %s", qPrintable(staged.error().description));
        return {};
    }
    if (staging)
        *staging = staged.value();
    wrapper.setTemporaryDirectory(staged.value().directory);
    const QString output = fresh();
    const Result<QString> report = wrapper.runRepomix(buildArguments({}, QString(), output), staged.value().directory);
    if (!report) {
        qWarning("packing failed: %s", qPrintable(report.error().description));
        return {};
    }
    return {report.value(), readAll(output)};
}

// The packer started directly on `folder` with its own default rules, in
// the environment the application gives it.
QByteArray packDirectly(const QString &folder)
{
    const PackerEnvironment run = PackerEnvironment::forRun().value();
    const QString output = fresh();
    QProcess process;
    process.setProgram(bundled.runtime);
    process.setArguments(QStringList{bundled.script} + buildArguments({}, QString(), output) + QStringList{folder});
    process.setWorkingDirectory(run.workingDirectory);
    process.setProcessEnvironment(run.environment);
    process.start();
    process.waitForFinished(-1);
    return process.exitCode() == 0 ? readAll(output) : QByteArray();
}

} // namespace

class PackerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        qputenv("TMPDIR", m_temp.path().toUtf8());
        qputenv("XDG_CACHE_HOME", m_temp.filePath("cache").toUtf8());
        m_root = fs::path(m_temp.path().toStdString()) / "user";
        writeFile(m_root / "app/src/main.c", "// entry point\nint main(void) { return 0; }\n");
        writeFile(m_root / "app/README.md", "# App\n\nBuilt with care.\n");
        writeFile(m_root / "app/.git/config", "[core]\n\tbare = false\n");
        writeFile(m_root / "notes.txt", "Remember the milk.\n");
    }

    void packsEachStyle_data()
    {
        QTest::addColumn<QString>("style");
        QTest::newRow("plain") << "plain";
        QTest::newRow("xml") << "xml";
        QTest::newRow("markdown") << "markdown";
    }
    void packsEachStyle()
    {
        QFETCH(QString, style);
        RepomixWrapper wrapper(bundled);
        const auto staged = wrapper.stage({urlOf(m_root / "app"), urlOf(m_root / "notes.txt")}, QString());
        QVERIFY(staged.ok());
        wrapper.setTemporaryDirectory(staged.value().directory);

        BundleOptions::Values options;
        options.style = style;
        const QString output = fresh();
        const auto report = wrapper.runRepomix(buildArguments(options, QString(), output), staged.value().directory);
        QVERIFY2(report.ok(), qPrintable(report ? QString() : report.error().description));

        const QByteArray bundle = readAll(output);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bundle);
        QVERIFY(!utf8.hasError());
        QVERIFY(text.contains(QLatin1String("Remember the milk.")));
        QVERIFY(!text.contains(QLatin1String("bare = false"))); // version-control internals stay out

        const RunSummary summary = parseSummary(report.value());
        QCOMPARE(summary.totalFiles, 3);
        QVERIFY(summary.totalChars > 0);
        QVERIFY(summary.estimatedTokens > 0);
    }

    // A chosen folder is packed exactly as the packer packs it when started
    // on that folder: its default rules apply from the folder's root.
    void eachFolderIsPackedAsItsOwnProject()
    {
        const fs::path project = m_root / "project";
        for (const char *path : {"src/main.c", "README.md", ".env", ".env.local", "build/out.txt", "build/Release/x.txt",
                                 "dist/bundle.js", "logs/today.txt", "app.log", "sub/debug.log", "x.pid", "sub/x.pid",
                                 "weird.pid/inside.txt", "npm-debug.log.1", "coverage/lcov.txt", "vendor/lib.php",
                                 "sub/vendor/keep.php", "target/t.txt", "sub/target/t.txt", "tmp/t.txt", "sub/tmp/t.txt",
                                 ".vuepress/dist/a.js", "sub/package-lock.json", "a.pyc", "ignored.txt", "docs/notes.md",
                                 "sub/build/kept.txt", ".idea/workspace.txt"})
            writeFile(project / path, std::string("content of ") + path + "\n");
        writeFile(project / ".env", "DB_PASSWORD=hunter2\n");
        writeFile(project / ".gitignore", "ignored.txt\n");

        RepomixWrapper wrapper(bundled);
        Staging staging;
        const Bundle staged = bundleOf(wrapper, {urlOf(project)}, &staging);
        QVERIFY(staging.defaultRulesApplied);
        QStringList ours;
        for (const QString &file : filesIn(staged.text)) {
            QVERIFY2(file.startsWith(QLatin1String("project/")), qPrintable(file));
            ours << file.mid(8);
        }
        const QStringList direct = filesIn(packDirectly(QString::fromStdString(project.string())));
        QVERIFY(direct.contains(QStringLiteral("sub/x.pid")));
        QCOMPARE(sorted(ours), sorted(direct));
        QVERIFY(!staged.text.contains("hunter2"));
        for (const char *left : {".env", "build", "dist"}) {
            const QString path = QString::fromStdString((project / left).string());
            QVERIFY2(std::any_of(staging.leftOut.begin(), staging.leftOut.end(),
                                 [&](const LeftOut &entry) { return entry.path == path && entry.reason == LeftOutReason::DefaultRule; }),
                     left);
        }
    }

    void aChosenItemIsNeverLeftOutByItsOwnName()
    {
        writeFile(m_root / "release/dist/app.js", "console.log('shipped');\n");
        writeFile(m_root / "release/build/out.txt", "built\n");
        writeFile(m_root / "release/debug.log", "a log the user chose\n");
        RepomixWrapper wrapper(bundled);
        const Bundle bundle = bundleOf(wrapper, {urlOf(m_root / "release/dist"), urlOf(m_root / "release/build"),
                                                 urlOf(m_root / "release/debug.log")});
        QCOMPARE(sorted(filesIn(bundle.text)), (QStringList{"build/out.txt", "debug.log", "dist/app.js"}));
    }

    void sameNamesLinksAndNestedTreesPackEachFileOnce()
    {
        writeFile(m_root / "a/README.md", "first\n");
        writeFile(m_root / "b/README.md", "second\n");
        writeFile(m_root / "x/src/main.c", "int x;\n");
        writeFile(m_root / "y/src/main.c", "int y;\n");
        writeFile(m_root / "deep/one/two/three.txt", "deep\n");
        fs::create_symlink(m_root / "deep", m_root / "deep-link");
        RepomixWrapper wrapper(bundled);
        const Bundle bundle = bundleOf(wrapper, {urlOf(m_root / "a/README.md"), urlOf(m_root / "b/README.md"),
                                                 urlOf(m_root / "x/src"), urlOf(m_root / "y/src"), urlOf(m_root / "deep-link")});
        QCOMPARE(sorted(filesIn(bundle.text)), (QStringList{"README (2).md", "README.md", "deep-link/one/two/three.txt",
                                                            "src (2)/main.c", "src/main.c"}));
        QVERIFY(bundle.text.contains("second") && bundle.text.contains("int y;"));
    }

    // Hard links give the very bundle that copies give, and the user's files
    // come out of it as they went in.
    void linkedStagingChangesNothing()
    {
        const fs::path project = m_root / "linked";
        for (int i = 0; i < 20; ++i)
            writeFile(project / ("dir" + std::to_string(i % 4)) / ("f" + std::to_string(i) + ".ts"),
                      "export const value" + std::to_string(i) + " = " + std::to_string(i * 7) + "; // note\n");
        fs::permissions(project / "dir0/f0.ts", fs::perms::owner_read | fs::perms::group_read);
        struct Before
        {
            fs::path path;
            QByteArray content;
            struct stat st;
        };
        std::vector<Before> before;
        for (const auto &entry : fs::recursive_directory_iterator(project)) {
            if (entry.is_regular_file()) {
                struct stat st {};
                ::stat(entry.path().c_str(), &st);
                before.push_back({entry.path(), readAll(QString::fromStdString(entry.path().string())), st});
            }
        }

        QByteArray linked, copied;
        {
            RepomixWrapper wrapper(bundled);
            Staging staging;
            linked = bundleOf(wrapper, {urlOf(project)}, &staging).text;
            QVERIFY(staging.bytesLinked > 0);
            QCOMPARE(staging.bytesCopied, 0);
            wrapper.setLinkFiles(false);
            copied = bundleOf(wrapper, {urlOf(project)}, &staging).text;
            QCOMPARE(staging.bytesLinked, 0);
        }
        QVERIFY(!linked.isEmpty());
        QCOMPARE(linked, copied);
        for (const Before &file : before) {
            struct stat now {};
            ::stat(file.path.c_str(), &now);
            QCOMPARE(readAll(QString::fromStdString(file.path.string())), file.content);
            QCOMPARE(now.st_mode, file.st.st_mode);
            QCOMPARE(now.st_mtim.tv_sec, file.st.st_mtim.tv_sec);
            QCOMPARE(now.st_mtim.tv_nsec, file.st.st_mtim.tv_nsec);
            QCOMPARE(now.st_nlink, nlink_t(1));
        }
    }

    // Another user's files at the packer's old fixed places are never read,
    // and nothing is written there; the private cache stays warm instead.
    void plantedCachesAreNeverUsed()
    {
        const QByteArray content = "planted secret words";
        writeFile(m_root / "cached/a.txt", content.toStdString());
        const QString key = QStringLiteral("o200k_base:%1:%2")
                                .arg(content.size())
                                .arg(QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex().left(16)));
        const fs::path shared = fs::path(m_temp.path().toStdString()) / "repomix/cache/token-counts.json";
        writeFile(shared, "{\"version\":1,\"entries\":{\"" + key.toStdString() + "\":100000000}}");

        RepomixWrapper wrapper(bundled);
        const Bundle first = bundleOf(wrapper, {urlOf(m_root / "cached")});
        const RunSummary summary = parseSummary(first.report);
        QVERIFY(summary.estimatedTokens > 0);
        QVERIFY2(summary.estimatedTokens < 100000, qPrintable(QString::number(summary.estimatedTokens)));
        QCOMPARE(sorted(QDir(m_temp.filePath("repomix")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)),
                 QStringList{"cache"});
        QVERIFY(!QFileInfo::exists(m_temp.filePath("node-compile-cache")));
        const QString cache = PrivateArea::cacheDirectory().value();
        QVERIFY(QFileInfo(cache + "/token-counts.json").isFile());
        QVERIFY(QFileInfo(cache + "/node-compile-cache").isDir());

        const Bundle second = bundleOf(wrapper, {urlOf(m_root / "cached")});
        const QRegularExpressionMatch hits = QRegularExpression(QStringLiteral("Token count cache: (\\d+) hits")).match(second.report);
        QVERIFY2(hits.hasMatch(), "no cache line in the report");
        QVERIFY(hits.captured(1).toInt() > 0);
    }

private:
    QTemporaryDir m_temp;
    fs::path m_root;
};

QTEST_GUILESS_MAIN(PackerTest)
#include "tst_packer_e2e.moc"
