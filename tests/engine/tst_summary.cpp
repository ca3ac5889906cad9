#include "RunSummary.h"

#include <QTest>

class SummaryTest : public QObject
{
    Q_OBJECT

private slots:
    void totals_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<qint64>("files");
        QTest::addColumn<qint64>("chars");
        QTest::addColumn<qint64>("tokens");

        QTest::newRow("the packer's indent, tabs and runs of spaces")
            << "  Total Files:\t 12 \t files\n Total Tokens: 415 tokens\n  Total Chars:    2441   chars\n"
            << 12LL << 2441LL << 415LL;
        QTest::newRow("Arabic-Indic digits, English grouping")
            << QString::fromUtf8("Total Files: \u0661\u066C\u0662\u0663\u0664 files\nTotal Chars: 12,345 chars\n"
                                 "Total Tokens: 1,234,567 tokens")
            << 1234LL << 12345LL << 1234567LL;
        QTest::newRow("German, French and Swiss grouping")
            << QString::fromUtf8("Total Files: 1’234 files\nTotal Chars: 98.765\u00A0432\u202F1 chars\n"
                                 "Total Tokens: 1'234 567 tokens")
            << 1234LL << 987654321LL << 1234567LL;
        QTest::newRow("unit word must follow, case matters")
            << "Total Files: 3 lines\nTotal Tokens: 5\ntotal chars: 3 chars" << 0LL << 0LL << 0LL;
        QTest::newRow("later line wins, also with 0")
            << "Total Files: 3 files\nTotal Files: 4 files\nTotal Chars: 9 chars\nTotal Chars: x chars"
            << 4LL << 0LL << 0LL;
        QTest::newRow("first label on a line decides")
            << "Total Tokens: 5 tokens Total Files: 2 files" << 2LL << 0LL << 0LL;
        QTest::newRow("the largest 64-bit value, and one beyond")
            << "Total Chars: 9223372036854775807 chars\nTotal Tokens: 9,223,372,036,854,775,808 tokens"
            << 0LL << Q_INT64_C(9223372036854775807) << 0LL;
        QTest::newRow("CRLF and other line breaks")
            << QString::fromUtf8("Total Files: 1 files\r\nTotal Chars: 2 chars\u2028Total Tokens: 3 tokens\u0085")
            << 1LL << 2LL << 3LL;
    }

    // Each total has its own pattern, so each must take every grouping
    // separator a locale may print ("1.234" in German, "1 234" in French).
    void everyTotalTakesEveryGroupSeparator_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QChar>("separator");
        const QList<QChar> separators{u',', u'.', u'\'', u' ', QChar(0x2019), QChar(0x00A0), QChar(0x202F),
                                      QChar(0x2009), QChar(0x066C)};
        for (const auto &[label, unit] : {std::pair{"Total Files:", "files"}, std::pair{"Total Chars:", "chars"},
                                          std::pair{"Total Tokens:", "tokens"}}) {
            for (const QChar separator : separators)
                QTest::addRow("%s U+%04X", unit, separator.unicode()) << QString::fromLatin1(label)
                                                                      << QString::fromLatin1(unit) << separator;
        }
    }

    void everyTotalTakesEveryGroupSeparator()
    {
        QFETCH(QString, label);
        QFETCH(QString, unit);
        QFETCH(QChar, separator);
        const QString line = QStringLiteral("  ") + label + QStringLiteral(" 12") + separator + QStringLiteral("121")
            + separator + QStringLiteral("234 ") + unit + QStringLiteral("\n");
        const RunSummary summary = parseSummary(line);
        const qint64 expected = 12121234;
        QCOMPARE(summary.totalFiles, unit == u"files" ? expected : 0);
        QCOMPARE(summary.totalChars, unit == u"chars" ? expected : 0);
        QCOMPARE(summary.estimatedTokens, unit == u"tokens" ? expected : 0);
    }

    void totals()
    {
        QFETCH(QString, report);
        QFETCH(qint64, files);
        QFETCH(qint64, chars);
        QFETCH(qint64, tokens);
        const RunSummary summary = parseSummary(report);
        QCOMPARE(summary.totalFiles, files);
        QCOMPARE(summary.totalChars, chars);
        QCOMPARE(summary.estimatedTokens, tokens);
    }
};

QTEST_APPLESS_MAIN(SummaryTest)
#include "tst_summary.moc"
