// Runs the bundled Node.js runtime and packer for real.
#include "PackerArguments.h"
#include "FakePacker.h"
#include "PackerEnvironment.h"
#include "RepomixWrapper.h"
#include "TestFiles.h"

#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {


// Stages the items and packs them with the default options; gives the bundle.
QByteArray bundleOf(RepomixWrapper &wrapper, const QList<QUrl> &items, Staging *staging = nullptr)
{
    const Result<Staging> staged = wrapper.stage({items});
    if (!staged) {
        qWarning("staging failed: %s", qPrintable(staged.error().description));
        return {};
    }
    if (staging)
        *staging = staged.value();
    const QString output = freshOutput();
    const Result<PackResult> report = packWith(wrapper, output, staged.value());
    wrapper.discardDirectory(staged.value().directory);
    if (!report) {
        qWarning("packing failed: %s", qPrintable(report.error().description));
        return {};
    }
    return readAll(output);
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
        writeFile(project / ".gitignore", "ignored.txt\n");

        RepomixWrapper wrapper(bundledPacker());
        Staging staging;
        const QByteArray bundle = bundleOf(wrapper, {urlOf(project)}, &staging);
        QVERIFY(staging.defaultRulesApplied);
        QStringList ours;
        for (const QString &file : filesIn(bundle)) {
            QVERIFY2(file.startsWith(QLatin1String("project/")), qPrintable(file));
            ours << file.mid(8);
        }
        const QString output = freshOutput();
        const PackerEnvironment run = PackerEnvironment::forRun().value();
        PackRequest direct;
        direct.output = output;
        QCOMPARE(runPackerDirectly(jobArguments(direct), QString::fromStdString(project.string()),
                                   run.environment, run.workingDirectory).exitCode, 0);
        const QStringList directFiles = filesIn(readAll(output));
        QVERIFY(directFiles.contains(QStringLiteral("sub/x.pid")) && !directFiles.contains(QStringLiteral(".env")));
        QCOMPARE(ours, directFiles);
        // The packer keeps its caches where it is told: in the private cache folder.
        const QString cache = PrivateArea::cacheDirectory().value();
        QVERIFY(QFileInfo(cache + "/token-counts.json").isFile() && QFileInfo(cache + "/node-compile-cache").isDir());
    }

    // The user's patterns apply inside a chosen folder exactly as the packer
    // applies them when it is started on that folder with the same --ignore
    // and --include, and to a chosen file by its name. Patterns outside the
    // matched syntax go to the packer, rewritten to start inside the folder.
    void patternsApplyInsideEachChosenFolder_data()
    {
        QTest::addColumn<QString>("ignore");
        QTest::addColumn<QString>("include");
        QTest::addColumn<bool>("exact"); // applied in the staging, nothing left to the packer

        // The absolute path of the chosen folder stands for "@".
        for (const char *ignore : {"b.txt", "*.txt", "sub", "sub/", "/b.txt", "**/b.txt", "sub/**", "**/deep",
                                   "*.{md,log}", "!b.txt", "*.txt, !sub/b.txt", "[ab].txt", "sub/*.txt", "@/sub",
                                   "@/*.md", "b.txt.d"})
            QTest::addRow("ignore %s", ignore) << QString::fromUtf8(ignore) << QString() << true;
        for (const char *include : {"*.txt", "sub", "sub/", "**/*.md", "src/**, !src/*.test.ts", "!**/*.log",
                                    "[ab].txt", "/b.txt", "**/b.txt", "{src,docs}/**", "@/sub/**"})
            QTest::addRow("include %s", include) << QString() << QString::fromUtf8(include) << true;
        QTest::newRow("ignore wins over include") << "sub/deep" << "sub/**, *.txt" << true;
        QTest::newRow("extended glob, ignored") << "+(a|b).txt" << "" << false;
        QTest::newRow("extended glob, included") << "" << "+(src|docs)/**" << false;
    }

    void patternsApplyInsideEachChosenFolder()
    {
        QFETCH(QString, ignore);
        QFETCH(QString, include);
        QFETCH(bool, exact);
        const fs::path project = m_root / "patterns";
        if (!fs::exists(project)) {
            for (const char *path : {"b.txt", "a.md", "sub/b.txt", "sub/c.log", "sub/deep/b.txt", "sub2/x.txt",
                                     "docs/guide.md", "src/main.c", "src/util.ts", "src/app.test.ts", "keep.log",
                                     "b.txt.d/y.txt", "[ab].txt", "a.txt", "notes/todo.md", "gitignored.txt"})
                writeFile(project / path, std::string("content of ") + path + "\n");
            writeFile(project / ".gitignore", "gitignored.txt\n");
        }
        const QString root = QString::fromStdString(project.string());
        ignore.replace(u'@', root);
        include.replace(u'@', root);
        // The same options on both sides; the secret scan is not what is compared.
        PackRequest request;
        request.options.setOn("securityCheck", false);

        // The packer on the folder itself.
        request.ignorePatterns = ignore;
        request.includePatterns = include;
        request.output = freshOutput();
        const PackerEnvironment run = PackerEnvironment::forRun().value();
        const DirectRun direct = runPackerDirectly(jobArguments(request), root, run.environment, run.workingDirectory);
        QVERIFY2(direct.exitCode == 0, qPrintable(direct.errors));
        QStringList expected;
        for (const QString &file : filesIn(readAll(request.output))) // what an absolute pattern finds is named absolutely
            expected << (file.startsWith(root + u'/') ? file.mid(root.size() + 1) : file);
        expected.sort();

        // The folder and one of its files, chosen, staged and packed as a job packs them.
        RepomixWrapper wrapper(bundledPacker());
        const Result<Staging> staged = wrapper.stage({{urlOf(project), urlOf(project / "b.txt")}, ignore, include, {}});
        QVERIFY(staged.ok());
        QCOMPARE(staged.value().patternsApplied, exact);
        // What is left to the packer then: at most the folder's ignore file,
        // staged for its rules where the patterns leave it out.
        const QString leftToPacker = staged.value().rootIgnorePatterns + staged.value().rootIncludePatterns;
        QCOMPARE(leftToPacker.isEmpty() || leftToPacker == QLatin1String("patterns/.gitignore"), exact);
        request.ignorePatterns = staged.value().rootIgnorePatterns;
        request.includePatterns = staged.value().rootIncludePatterns;
        request.defaultRulesApplied = staged.value().defaultRulesApplied;
        request.directory = staged.value().directory.toLocalFile();
        request.files = staged.value().files;
        request.output = freshOutput();
        const Result<PackResult> packed = wrapper.pack(request);
        wrapper.discardDirectory(staged.value().directory);
        QVERIFY2(packed.ok(), qPrintable(packed ? QString() : packed.error().description));
        QStringList inFolder;
        bool chosenFilePacked = false;
        for (const QString &file : filesIn(readAll(request.output))) {
            if (file.startsWith(QLatin1String("patterns/")))
                inFolder << file.mid(9);
            else
                chosenFilePacked = chosenFilePacked || file == u"b.txt";
        }
        QVERIFY2(inFolder == expected, qPrintable(inFolder.join(u' ') + QLatin1String(" | ") + expected.join(u' ')));
        if (exact) // patterns left to the packer do not reach chosen files
            QCOMPARE(chosenFilePacked, expected.contains(QStringLiteral("b.txt")));
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
        const auto files = [&] { // everything's mode, modification time, link count and content
            QStringList state;
            for (const auto &entry : fs::recursive_directory_iterator(project)) {
                struct stat st {};
                ::stat(entry.path().c_str(), &st);
                const QString path = QString::fromStdString(entry.path().string());
                state << path + QStringLiteral(" %1 %2.%3 ").arg(st.st_mode, 0, 8).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec)
                        + QString::number(st.st_nlink) + u' ' + QString::fromUtf8(readAll(path));
            }
            state.sort();
            return state;
        };
        const QStringList before = files();

        QByteArray linked, copied;
        {
            RepomixWrapper wrapper(bundledPacker());
            wrapper.setStageByList(false); // links and copies of every file
            Staging staging;
            linked = bundleOf(wrapper, {urlOf(project)}, &staging);
            QVERIFY(staging.bytesLinked > 0);
            QCOMPARE(staging.bytesCopied, 0);
            wrapper.setLinkFiles(false);
            copied = bundleOf(wrapper, {urlOf(project)}, &staging);
            QCOMPARE(staging.bytesLinked, 0);
        }
        QVERIFY(!linked.isEmpty());
        QCOMPARE(linked, copied);
        QCOMPARE(files(), before);
    }

private:
    PrivateTemp m_temp;
    fs::path m_root;
};

QTEST_GUILESS_MAIN(PackerTest)
#include "tst_packer_e2e.moc"
