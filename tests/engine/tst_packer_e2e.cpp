// Runs the bundled Node.js runtime and packer for real.
#include "CommandLine.h"
#include "RepomixWrapper.h"
#include "RunSummary.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

namespace fs = std::filesystem;

namespace {
const PackerLocation bundled{QStringLiteral(LUMBREL_TEST_RUNTIME), QStringLiteral(LUMBREL_TEST_SCRIPT)};
} // namespace

class PackerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        m_root = fs::path(m_temp.path().toStdString());
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
        const auto staged = wrapper.stageFiles({QUrl::fromLocalFile(m_temp.filePath("app")),
                                                QUrl::fromLocalFile(m_temp.filePath("notes.txt"))});
        QVERIFY(staged.ok());
        wrapper.setTemporaryDirectory(staged.value());

        BundleOptions::Values options;
        options.style = style;
        const QString output = m_temp.filePath(QStringLiteral("bundle %1.%2").arg(style, BundleOptions::outputExtension(style)));
        const auto report = wrapper.runRepomix(buildArguments(options, QString(), output), staged.value());
        QVERIFY2(report.ok(), qPrintable(report ? QString() : report.error().description));

        const QByteArray bundle = readAll(output);
        QVERIFY(!bundle.isEmpty());
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

    void leavingIgnoredFoldersOutChangesNoByte()
    {
        const fs::path tree = m_root / "deps";
        writeFile(tree / "index.js", "console.log('hi');\n");
        writeFile(tree / "node_modules/left/index.js", "module.exports = 1;\n");
        writeFile(tree / "pkg/sub/node_modules/x/y.js", "y\n");
        writeFile(tree / "py/__pycache__/m.cpython-311.pyc", "bytes\n");
        writeFile(tree / "py/m.py", "print('m')\n");
        writeFile(tree / "py/.venv/lib/site.py", "site\n");
        writeFile(tree / "rust/target/debug/out.txt", "built\n");
        writeFile(tree / "rust/src/lib.rs", "pub fn f() {}\n");

        RepomixWrapper wrapper(bundled);
        const auto staged = wrapper.stageFiles({urlOf(tree)});
        QVERIFY(staged.ok());
        QVERIFY(!fs::exists(fs::path(staged.value().toLocalFile().toStdString()) / "deps/node_modules"));
        wrapper.setTemporaryDirectory(staged.value());

        // The same tree copied in full, as a plain copy would stage it.
        const fs::path full = m_root / "full-staging";
        fs::create_directories(full);
        fs::copy(tree, full / "deps", fs::copy_options::recursive);

        const QString skippedOut = m_temp.filePath("skipped.txt");
        const QString fullOut = m_temp.filePath("full.txt");
        QVERIFY(wrapper.runRepomix(buildArguments({}, QString(), skippedOut), staged.value()).ok());
        QVERIFY(wrapper.runRepomix(buildArguments({}, QString(), fullOut),
                                   urlOf(full)).ok());
        QCOMPARE(readAll(skippedOut), readAll(fullOut));
    }

private:
    QTemporaryDir m_temp;
    fs::path m_root;
};

QTEST_GUILESS_MAIN(PackerTest)
#include "tst_packer_e2e.moc"
