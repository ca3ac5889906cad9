#include "Contrast.h"
#include "FolderItemCount.h"
#include "Processes.h"
#include "Format.h"
#include "Reveal.h"
#include "WindowPlacement.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {
// Creates `entries` below `base`: a trailing slash makes a folder, "name@target" a link.
void create(const fs::path &base, const QByteArrayList &entries)
{
    for (const QByteArray &entry : entries) {
        const QByteArrayList parts = entry.split('@');
        const fs::path path = base / parts.first().toStdString();
        fs::create_directories(entry.endsWith('/') ? path : path.parent_path());
        if (parts.size() > 1)
            fs::create_symlink(parts.last().toStdString(), path);
        else if (!entry.endsWith('/'))
            std::ofstream{path};
    }
}
} // namespace

class UiHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    // Nothing here may reach a file manager through the developer's own session.
    void initTestCase() { qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumbrel-test-bus"); }

    // The sizes a count fits, and whether it is over the chosen limit and by
    // how much.
    void contextFit_data()
    {
        QTest::addColumn<qint64>("tokens");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("detail");
        QTest::newRow("none") << qint64(0) << "1M" << "" << "";
        QTest::newRow("small") << qint64(461) << "1M" << "fits 128K" << "461 tokens fit in a context window of 128K, 200K and 1M tokens.";
        QTest::newRow("edge of 128K") << qint64(128'000) << "128K" << "fits 128K" << "";
        QTest::newRow("past 128K") << qint64(128'001) << "1M" << "fits 200K" << "128,001 tokens fit in a context window of 200K and 1M tokens.";
        QTest::newRow("past 200K") << qint64(200'001) << "1M" << "fits 1M" << "200,001 tokens fit in a context window of 1M tokens.";
        QTest::newRow("past 1M") << qint64(1'234'567) << "1M" << "over 1M" << "1,234,567 tokens are 234,567 more than your context limit of 1M";
        QTest::newRow("past a chosen 128K") << qint64(128'001) << "128K" << "over 128K" << "128,001 tokens are 1 more than your context limit of 128K";
        QTest::newRow("past a chosen 200K") << qint64(250'000) << "200k" << "over 200K" << "250,000 tokens are 50,000 more than your context limit of 200K";
        QTest::newRow("an unknown limit is the largest") << qint64(250'000) << "2M" << "fits 1M" << "";
    }
    void contextFit()
    {
        QFETCH(qint64, tokens);
        QFETCH(QString, limit);
        QFETCH(QString, label);
        QFETCH(QString, detail);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(contextFitLabel(tokens, limit), label);
        QCOMPARE(contextOverLimit(tokens, limit), label.startsWith("over"));
        const QString text = contextFitDetail(tokens, limit);
        QVERIFY2(tokens ? text.startsWith(detail) : text.isEmpty(), qPrintable(text));
    }

    void formatCount_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one") << "en_US" << qint64(1) << "1 file";
        QTest::newRow("none") << "en_US" << qint64(0) << "0 files";
        QTest::newRow("German grouping") << "de_DE" << qint64(1234567) << "1.234.567 files";
        // The C locale leaves out grouping on its own; counts still get it.
        QTest::newRow("C grouping") << "C" << qint64(1234567) << "1,234,567 files";
    }
    void formatCount()
    {
        QFETCH(QString, locale);
        QFETCH(qint64, value);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        const QString text = ::formatCount(value, "file", "files");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(text, expected);
    }

    void contrastRatio_data()
    {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<double>("expected");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("grey 777 on white") << QColor("#777777") << QColor(Qt::white) << 4.48;
        QTest::newRow("white on Fusion's highlight") << QColor(Qt::white) << QColor("#308cc6") << 3.69;
        QTest::newRow("black at 0.6 over white") << QColor::fromRgbF(0, 0, 0, 0.6) << QColor(Qt::white) << 5.74;
    }

    void contrastRatio()
    {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(double, expected);
        const double ratio = contrast::ratio(contrast::over(a, b), b);
        QVERIFY2(qAbs(ratio - expected) < 0.01, qPrintable(QString::number(ratio)));
        QCOMPARE(contrast::ratio(b, contrast::over(a, b)), ratio); // either way round
    }

    void readableKeepsWhatPassesAndMendsWhatDoesNot_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<bool>("kept");
        QTest::newRow("black text on white") << QColor(Qt::black) << QColor(Qt::white) << 4.5 << true;
        QTest::newRow("green seal on white") << QColor("#30c158") << QColor(Qt::white) << 3.0 << false;
        QTest::newRow("highlight on a dark window") << QColor("#12608a") << QColor("#222020") << 4.5 << false;
        QTest::newRow("faded text on dark") << QColor::fromRgbF(1, 1, 1, 0.3) << QColor("#323232") << 4.5 << false;
        // Nothing reaches 21:1 on mid grey; the better pole is the answer.
        QTest::newRow("unreachable") << QColor("#777777") << QColor("#777777") << 21.0 << false;
    }

    void readableKeepsWhatPassesAndMendsWhatDoesNot()
    {
        QFETCH(QColor, colour);
        QFETCH(QColor, background);
        QFETCH(double, minimum);
        QFETCH(bool, kept);
        const QColor result = contrast::readable(colour, background, minimum);
        QCOMPARE(result == colour, kept);
        if (minimum < 21)
            QVERIFY2(contrast::ratio(result, background) >= minimum, qPrintable(result.name()));
        else
            QCOMPARE(result, QColor(Qt::black));
        // Mended, the colour moves no further than it must, short of black or white.
        if (!kept && minimum < 21)
            QVERIFY2(contrast::ratio(result, background) < minimum + 0.1, qPrintable(result.name()));
    }

    void centredPosition_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("panel on top") << QRect(0, 32, 1920, 1048) << QPoint(760, 293);
        // 1024 x 768 at twice the scale leaves 512 x 384 (minus a panel).
        QTest::newRow("taller than the screen") << QRect(0, 27, 512, 357) << QPoint(56, 27);
        QTest::newRow("second screen left of the first") << QRect(-1280, 0, 1280, 1024) << QPoint(-840, 249);
        QTest::newRow("narrower than the window") << QRect(100, 50, 300, 900) << QPoint(100, 237);
    }

    void centredPosition()
    {
        QFETCH(QRect, available);
        QFETCH(QPoint, expected);
        QCOMPARE(::centredPosition(available, QSize(400, 525)), expected);
    }

    // Files and links count at any depth, hidden ones and names that are
    // not UTF-8 too; folders do not, links are not followed, and a folder
    // that cannot be read is passed over.
    // The window grows with the font's size on screen, by points or by dpi,
    // never below the design, never past the screen.
    void windowScale_data()
    {
        QTest::addColumn<qreal>("points");
        QTest::addColumn<qreal>("dpi");
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("design font") << 11.0 << 96.0 << QSize(1920, 1080) << QSize(400, 500);
        QTest::newRow("smaller font") << 9.0 << 96.0 << QSize(1920, 1080) << QSize(400, 500);
        QTest::newRow("14 points") << 14.0 << 96.0 << QSize(1920, 1080) << QSize(510, 637);
        QTest::newRow("144 dpi") << 11.0 << 144.0 << QSize(1920, 1080) << QSize(600, 750);
        QTest::newRow("small screen") << 16.0 << 96.0 << QSize(1024, 600) << QSize(582, 600);
    }
    void windowScale()
    {
        QFETCH(qreal, points);
        QFETCH(qreal, dpi);
        QFETCH(QSize, available);
        QFETCH(QSize, expected);
        QCOMPARE(scaledSize(QSize(400, 500), fontScale(points, dpi), available), expected);
    }

    // A row says what the estimate packed of it, against what its folder holds.
    void rowDetail_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<qint64>("found");
        QTest::addColumn<qint64>("packed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("counting, no estimate") << true << qint64(-1) << qint64(-1) << "";
        QTest::newRow("counted, no estimate") << true << qint64(213) << qint64(-1) << "213 files";
        QTest::newRow("all packed") << true << qint64(213) << qint64(213) << "213 files, 1,200 tokens";
        QTest::newRow("some packed") << true << qint64(213) << qint64(12) << "12 files packed of 213 found, 1,200 tokens";
        QTest::newRow("still counting") << true << qint64(-1) << qint64(1) << "1 file, 1,200 tokens";
        QTest::newRow("nothing packed") << true << qint64(4) << qint64(0) << "nothing packed";
        QTest::newRow("a file") << false << qint64(-1) << qint64(1) << "1,200 tokens";
    }
    void rowDetail()
    {
        QFETCH(bool, folder);
        QFETCH(qint64, found);
        QFETCH(qint64, packed);
        QFETCH(QString, expected);
        QCOMPARE(rowDetailText(folder, found, packed, packed < 0 ? -1 : 1200), expected);
    }

    void countFolderItems()
    {
        QTemporaryDir dir;
        const fs::path base = dir.path().toStdString();
        create(base, {".hidden", "a/.git/config", "a/b/c/d.txt", "empty/", "y/z/", "sub/up@..", "sub/gone@nowhere",
                      "locked/b.txt"});
        qint64 expected = 5;
#ifdef Q_OS_LINUX
        create(base, {"bad-\xff-name", "sub-\xfe/x"});
        expected += 2;
#endif
        fs::permissions(base / "locked", fs::perms::none);
        qint64 count = 0;
        {
            ObeyFilePermissions obey;
            expected += obey.active() ? 0 : 1;
            count = ::countFolderItems(base);
        }
        fs::permissions(base / "locked", fs::perms::owner_all);
        fs::remove_all(base); // QTemporaryDir cannot remove names it cannot decode
        QCOMPARE(count, expected);
        QCOMPARE(::countFolderItems(base / "nowhere"), 0);
    }

    void folderItemCountDeliversOnlyTheLatestResult()
    {
        QTemporaryDir big;
        QTemporaryDir small;
        QByteArrayList entries;
        for (int i = 0; i < 2000; ++i)
            entries << "d" + QByteArray::number(i % 20) + "/f" + QByteArray::number(i);
        create(big.path().toStdString(), entries);
        const QUrl bigUrl = QUrl::fromLocalFile(big.path());
        create(small.path().toStdString(), {"only"});
        FolderItemCount counter;
        counter.setUrl(QUrl::fromLocalFile(small.filePath("only")));
        QVERIFY(!counter.isFolder());

        // Counters that go while their walk runs must not take others down.
        for (int i = 0; i < 20; ++i)
            std::make_unique<FolderItemCount>()->setUrl(bigUrl);
        counter.setUrl(bigUrl);
        counter.setUrl(QUrl::fromLocalFile(small.path()));
        QVERIFY(counter.isFolder());
        QVERIFY(!counter.ready()); // the result comes through the event loop
        QTRY_VERIFY(counter.ready());
        QCOMPARE(counter.count(), qint64(1));
        // Whatever the first walk still delivers must not overwrite the answer.
        QCoreApplication::processEvents();
        QCOMPARE(counter.count(), qint64(1));
    }

    void revealGoesToTheHandlerForLocalItemsOnly()
    {
        QList<QUrl> asked;
        const RevealHandler previous = setRevealHandler([&asked](const QUrl &url) { asked << url; });
        const QUrl file = QUrl::fromLocalFile("/tmp/some folder/bundled-output.txt");
        FileManager().reveal(file);
        // Anything but a local item could open an arbitrary program.
        revealInFileManager(QUrl("https://example.invalid/x"));
        revealInFileManager(QUrl());
        setRevealHandler(previous);
        QCOMPARE(asked, QList<QUrl>{file});
    }
};

QTEST_GUILESS_MAIN(UiHelpersTest)
#include "tst_ui_helpers.moc"
