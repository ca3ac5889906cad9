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

    void defaultsUntilOneKeyIsWrittenThatEveryHolderSees()
    {
        BundleOptions writer(m_store.get());
        BundleOptions reader(m_store.get());
        QCOMPARE(reader.values(), BundleOptions::Values{});
        QVERIFY(m_store->allKeys().isEmpty()); // reading the defaults writes nothing
        writer.setStyle(QStringLiteral("markdown"));
        QCOMPARE(reader.style(), QStringLiteral("markdown"));
        QCOMPARE(m_store->allKeys(), QStringList{"style"});
        m_store->sync(); // and it survives a restart
        QSettings reopened(m_store->fileName(), QSettings::IniFormat);
        QCOMPARE(BundleOptions(&reopened).style(), QStringLiteral("markdown"));
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

    void arguments_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<bool>("flipAll");
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<QString>("expected"); // after "--output <path>", split at '|'

        QTest::newRow("the defaults") << "plain" << false << "" << "--style|plain|--remove-comments|--verbose";
        QTest::newRow("every switch against its default")
            << "xml" << true << ""
            << "--style|xml|--no-file-summary|--no-directory-structure|--remove-empty-lines|--output-show-line-numbers|"
               "--no-security-check|--verbose";
        QTest::newRow("patterns stay one argument, the style as given")
            << "Markdown" << false << "*.log, dist/**, a b"
            << "--style|Markdown|--remove-comments|--ignore|*.log, dist/**, a b|--verbose";
        QTest::newRow("a lone space is a pattern")
            << "plain" << false << " " << "--style|plain|--remove-comments|--ignore| |--verbose";
    }
    void arguments()
    {
        QFETCH(QString, style);
        QFETCH(bool, flipAll);
        QFETCH(QString, patterns);
        QFETCH(QString, expected);
        BundleOptions::Values values;
        if (flipAll)
            values = {style, false, false, true, false, true, false};
        values.style = style;
        QCOMPARE(buildArguments(values, patterns, QStringLiteral("/o u t.txt")),
                 QStringList({"--output", "/o u t.txt"}) + expected.split(u'|'));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
};

QTEST_APPLESS_MAIN(OptionsTest)
#include "tst_options.moc"
