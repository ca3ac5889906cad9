// Runs the bundled Node.js runtime and packer for real.
#include "CommandLine.h"
#include "FakePacker.h"
#include "PackerEnvironment.h"
#include "RepomixWrapper.h"
#include "RunSummary.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The files a plain bundle holds, sorted.
QStringList filesIn(const QByteArray &bundle)
{
    QStringList files;
    static const QRegularExpression header(QStringLiteral("^File: (.*)$"), QRegularExpression::MultilineOption);
    for (auto it = header.globalMatch(QString::fromUtf8(bundle)); it.hasNext();)
        files << it.next().captured(1);
    files.sort();
    return files;
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
    const QString output = freshOutput();
    const Result<QString> report = wrapper.runRepomix(buildArguments({}, QString(), output), staged.value().directory);
    if (!report) {
        qWarning("packing failed: %s", qPrintable(report.error().description));
        return {};
    }
    return {report.value(), readAll(output)};
}

} // namespace

class PackerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", m_temp.filePath("cache").toUtf8());
        m_root = m_temp.root() / "user";
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
                                 "sub/build/kept.txt", ".idea/workspace.txt", ".git/config"})
            writeFile(project / path, std::string("content of ") + path + "\n");
        writeFile(project / ".env", "DB_PASSWORD=hunter2\n");
        writeFile(project / ".gitignore", "ignored.txt\n");

        RepomixWrapper wrapper(bundledPacker());
        Staging staging;
        const Bundle staged = bundleOf(wrapper, {urlOf(project)}, &staging);
        QVERIFY(staging.defaultRulesApplied);
        QStringList ours;
        for (const QString &file : filesIn(staged.text)) {
            QVERIFY2(file.startsWith(QLatin1String("project/")), qPrintable(file));
            ours << file.mid(8);
        }
        const QString output = freshOutput();
        const PackerEnvironment run = PackerEnvironment::forRun().value();
        QCOMPARE(runPackerDirectly(buildArguments({}, QString(), output), QString::fromStdString(project.string()),
                                   run.environment, run.workingDirectory).exitCode, 0);
        const QStringList direct = filesIn(readAll(output));
        QVERIFY(direct.contains(QStringLiteral("sub/x.pid")));
        QCOMPARE(ours, direct);
        QVERIFY(!staged.text.contains("hunter2"));
        for (const char *left : {".env", "build", "dist"}) {
            const QString path = QString::fromStdString((project / left).string());
            QVERIFY2(std::any_of(staging.leftOut.begin(), staging.leftOut.end(),
                                 [&](const LeftOut &entry) { return entry.path == path && entry.reason == LeftOutReason::DefaultRule; }),
                     left);
        }
    }

    // Chosen items keep what the packer would leave out by their own names,
    // and same names reach the packer as distinct ones.
    void chosenItemsArePackedUnderTheirOwnNames()
    {
        writeFile(m_root / "release/dist/app.js", "console.log('shipped');\n");
        writeFile(m_root / "release/build/out.txt", "built\n");
        writeFile(m_root / "release/debug.log", "a log the user chose\n");
        writeFile(m_root / "a/README.md", "first\n");
        writeFile(m_root / "b/README.md", "second\n");
        RepomixWrapper wrapper(bundledPacker());
        const Bundle bundle = bundleOf(wrapper, {urlOf(m_root / "release/dist"), urlOf(m_root / "release/build"),
                                                 urlOf(m_root / "release/debug.log"), urlOf(m_root / "a/README.md"),
                                                 urlOf(m_root / "b/README.md")});
        QCOMPARE(filesIn(bundle.text), (QStringList{"README (2).md", "README.md", "build/out.txt", "debug.log", "dist/app.js"}));
        QVERIFY(bundle.text.contains("second"));
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
        struct File
        {
            fs::path path;
            QByteArray content;
            struct stat st;
        };
        std::vector<File> before;
        for (const auto &entry : fs::recursive_directory_iterator(project)) {
            if (!entry.is_regular_file())
                continue;
            before.push_back({entry.path(), readAll(QString::fromStdString(entry.path().string())), {}});
            ::stat(entry.path().c_str(), &before.back().st);
        }

        QByteArray linked, copied;
        {
            RepomixWrapper wrapper(bundledPacker());
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
        for (const File &file : before) {
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
        const fs::path shared = m_temp.root() / "repomix/cache/token-counts.json";
        writeFile(shared, "{\"version\":1,\"entries\":{\"" + key.toStdString() + "\":100000000}}");

        RepomixWrapper wrapper(bundledPacker());
        const Bundle first = bundleOf(wrapper, {urlOf(m_root / "cached")});
        const RunSummary summary = parseSummary(first.report);
        QVERIFY(summary.estimatedTokens > 0);
        QVERIFY2(summary.estimatedTokens < 100000, qPrintable(QString::number(summary.estimatedTokens)));
        QCOMPARE(QDir(m_temp.filePath("repomix")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"cache"});
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
    PrivateTemp m_temp;
    fs::path m_root;
};

QTEST_GUILESS_MAIN(PackerTest)
#include "tst_packer_e2e.moc"
