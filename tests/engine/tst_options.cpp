#include "BundleOptions.h"
#include "CommandLine.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class OptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
        m_store->clear();
    }

    void emptyStoreGivesDefaultsWithoutWritingThem()
    {
        BundleOptions options(m_store.get());
        QCOMPARE(options.values(), BundleOptions::Values{});
        QVERIFY(m_store->allKeys().isEmpty());
    }

    void writesOneKeyAndEveryHolderSeesIt()
    {
        BundleOptions writer(m_store.get());
        BundleOptions reader(m_store.get());
        writer.setStyle(QStringLiteral("markdown"));
        QCOMPARE(reader.style(), QStringLiteral("markdown"));
        QCOMPARE(m_store->allKeys(), QStringList{"style"});
        m_store->sync(); // and it survives a restart
        QSettings reopened(m_store->fileName(), QSettings::IniFormat);
        QCOMPARE(BundleOptions(&reopened).style(), QStringLiteral("markdown"));
    }

    void resetStoresTheDefaults()
    {
        BundleOptions options(m_store.get());
        options.setStyle(QStringLiteral("xml"));
        options.setRemoveComments(false);
        QSignalSpy spy(&options, &BundleOptions::removeCommentsChanged);
        options.resetToDefaults();
        QCOMPARE(options.values(), BundleOptions::Values{});
        QCOMPARE(spy.count(), 1);
        QCOMPARE(m_store->value("style").toString(), QStringLiteral("plain"));
        QCOMPARE(m_store->value("removeComments").toBool(), true);
    }

    void valuesTheApplicationDidNotWriteReadAsDefaults()
    {
        m_store->setValue("style", "42");
        m_store->setValue("removeComments", "banana");
        m_store->setValue("showLineNumbers", "TRUE");
        BundleOptions options(m_store.get());
        QCOMPARE(options.style(), QStringLiteral("plain"));
        QCOMPARE(options.removeComments(), true);
        QCOMPARE(options.showLineNumbers(), true);
        m_store->setValue("style", "Markdown");
        QCOMPARE(options.style(), QStringLiteral("plain"));
    }

    void anUnwritableStoreSaysSoOnce()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QSettings store(dir.filePath("file/options.ini"), QSettings::IniFormat); // its folder is a file
        BundleOptions options(&store);
        QSignalSpy failed(&options, &BundleOptions::storeFailed);
        options.setStyle("xml");
        options.setShowLineNumbers(true);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.at(0).at(0).toString().contains(dir.filePath("file/options.ini")));
        QCOMPARE(options.style(), QStringLiteral("xml")); // the change holds while the application runs
    }

    void outputExtensionFollowsTheStyleExactly()
    {
        QCOMPARE(BundleOptions::outputExtension("markdown"), QStringLiteral("md"));
        QCOMPARE(BundleOptions::outputExtension("Markdown"), QStringLiteral("txt"));
    }

    void arguments_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<bool>("flipAll");
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("the defaults")
            << "plain" << false << ""
            << QStringList{"--output", "/o u t.txt", "--style", "plain", "--remove-comments", "--verbose"};
        QTest::newRow("every switch against its default")
            << "xml" << true << ""
            << QStringList{"--output", "/o u t.txt", "--style", "xml", "--no-file-summary",
                           "--no-directory-structure", "--remove-empty-lines", "--output-show-line-numbers",
                           "--no-security-check", "--verbose"};
        QTest::newRow("patterns stay one argument, the style as given")
            << "Markdown" << false << "*.log, dist/**, a b"
            << QStringList{"--output", "/o u t.txt", "--style", "Markdown", "--remove-comments",
                           "--ignore", "*.log, dist/**, a b", "--verbose"};
        QTest::newRow("a lone space is a pattern")
            << "plain" << false << " "
            << QStringList{"--output", "/o u t.txt", "--style", "plain", "--remove-comments", "--ignore", " ",
                           "--verbose"};
    }
    void arguments()
    {
        QFETCH(QString, style);
        QFETCH(bool, flipAll);
        QFETCH(QString, patterns);
        QFETCH(QStringList, expected);
        BundleOptions::Values values;
        values.style = style;
        if (flipAll) {
            values.addSummary = false;
            values.addFileStructure = false;
            values.removeEmptyLines = true;
            values.removeComments = false;
            values.showLineNumbers = true;
            values.securityCheck = false;
        }
        QCOMPARE(buildArguments(values, patterns, QStringLiteral("/o u t.txt")), expected);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
};

QTEST_APPLESS_MAIN(OptionsTest)
#include "tst_options.moc"
