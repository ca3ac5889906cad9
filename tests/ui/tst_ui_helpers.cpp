#include "FolderItemCount.h"
#include "Format.h"
#include "Reveal.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

class UiHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void formatNumber_data();
    void formatNumber();
    void displayName_data();
    void displayName();

    void countFolderItems_data();
    void countFolderItems();
    void countSkipsUnreadableFolders();
    void countKeepsNamesThatAreNotUtf8();

    void folderItemCountRunsOffTheUiThread();
    void folderItemCountDropsStaleResults();
    void folderItemCountSurvivesEarlyDestruction();

    void revealGoesToTheHandler();
    void revealWithoutSessionBusOpensTheFolder();

public slots:
    void openedByDesktop(const QUrl &url) { m_opened << url; }

private:
    QList<QUrl> m_opened;
    static void makeFile(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    static fs::path fsPath(const QString &path) { return fs::path(QFile::encodeName(path).toStdString()); }
};

void UiHelpersTest::formatNumber_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << "en_US" << qint64(0) << "0";
    QTest::newRow("seven digits, English") << "en_US" << qint64(1234567) << "1,234,567";
    QTest::newRow("negative") << "en_US" << qint64(-1234) << "-1,234";
    QTest::newRow("largest") << "en_US" << std::numeric_limits<qint64>::max() << "9,223,372,036,854,775,807";
    QTest::newRow("seven digits, German") << "de_DE" << qint64(1234567) << "1.234.567";
    // The C locale leaves out grouping on its own; counts still get it.
    QTest::newRow("seven digits, C") << "C" << qint64(1234567) << "1,234,567";
}

void UiHelpersTest::formatNumber()
{
    QFETCH(QString, locale);
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(::formatNumber(value), expected);
    QCOMPARE(Format().number(value), expected);
}

void UiHelpersTest::displayName_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("expected");

    QTest::newRow("file") << QUrl("file:///tmp/out/bundled-output.txt") << "bundled-output.txt";
    QTest::newRow("folder with slash") << QUrl("file:///home/me/project/") << "project";
    QTest::newRow("encoded") << QUrl("file:///tmp/a%20b%25.txt") << "a b%.txt";
}

void UiHelpersTest::displayName()
{
    QFETCH(QUrl, url);
    QFETCH(QString, expected);
    QCOMPARE(::displayName(url), expected);
}

void UiHelpersTest::countFolderItems_data()
{
    // Paths below the temporary folder; a trailing slash makes a folder.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("counted");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("one file") << QStringList{"a.txt"} << "" << qint64(1);
    QTest::newRow("empty") << QStringList{} << "" << qint64(0);
    QTest::newRow("missing") << QStringList{} << "nowhere" << qint64(0);
    QTest::newRow("a file, not a folder") << QStringList{"a.txt"} << "a.txt" << qint64(0);
    QTest::newRow("only empty sub-folders") << QStringList{"x/", "y/z/"} << "" << qint64(0);
    QTest::newRow("two files in a sub-folder") << QStringList{"sub/a", "sub/b"} << "" << qint64(2);
    QTest::newRow("hidden and nested")
        << QStringList{".hidden", "a/.git/config", "a/b/c/d.txt", "a/b/e.txt"} << "" << qint64(4);
}

void UiHelpersTest::countFolderItems()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, counted);
    QFETCH(qint64, expected);

    QTemporaryDir dir;
    for (const QString &entry : entries) {
        if (entry.endsWith('/'))
            QVERIFY(QDir().mkpath(dir.filePath(entry)));
        else
            makeFile(dir.filePath(entry));
    }
    QCOMPARE(::countFolderItems(fsPath(dir.filePath(counted))), expected);
}

void UiHelpersTest::countSkipsUnreadableFolders()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        QSKIP("root reads every folder");
    QTemporaryDir dir;
    makeFile(dir.filePath("a.txt"));
    makeFile(dir.filePath("locked/b.txt"));
    makeFile(dir.filePath("z/c.txt"));
    QVERIFY(QFile::setPermissions(dir.filePath("locked"), QFileDevice::Permissions{}));
    // The locked folder is passed over and the walk goes on.
    QCOMPARE(::countFolderItems(fsPath(dir.path())), qint64(2));
    QCOMPARE(::countFolderItems(fsPath(dir.filePath("locked"))), qint64(0));
    QFile::setPermissions(dir.filePath("locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#else
    QSKIP("POSIX permissions only");
#endif
}

void UiHelpersTest::countKeepsNamesThatAreNotUtf8()
{
#ifdef Q_OS_LINUX
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const int fd = ::open((base + "/bad-\xff-name").constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    QVERIFY(::mkdir((base + "/sub-\xfe").constData(), 0700) == 0);
    const int inner = ::open((base + "/sub-\xfe/x").constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(inner >= 0);
    ::close(inner);
    // A link is an entry of its own, and a link back up is not followed.
    QVERIFY(::symlink("..", (base + "/sub-\xfe/up").constData()) == 0);
    const qint64 count = ::countFolderItems(fsPath(dir.path()));
    // QTemporaryDir cannot see these names to remove them.
    std::error_code ignored;
    fs::remove_all(fsPath(dir.path()), ignored);
    QCOMPARE(count, qint64(3));
#else
    QSKIP("Linux file names only");
#endif
}

void UiHelpersTest::folderItemCountRunsOffTheUiThread()
{
    QTemporaryDir dir;
    for (int i = 0; i < 500; ++i)
        makeFile(dir.filePath(QStringLiteral("d%1/f%2").arg(i % 10).arg(i)));

    makeFile(dir.filePath("d0/plain.txt"));

    FolderItemCount counter;
    counter.setUrl(QUrl::fromLocalFile(dir.filePath("d0/plain.txt")));
    QVERIFY(!counter.isFolder());
    QVERIFY(!counter.ready());
    // A slash at the end marks a folder.
    counter.setUrl(QUrl::fromLocalFile(dir.path() + '/'));
    QVERIFY(counter.isFolder());
    // The result can only arrive through the event loop, never inside setUrl.
    QVERIFY(!counter.ready());
    QTRY_VERIFY(counter.ready());
    QCOMPARE(counter.count(), qint64(501));
}

void UiHelpersTest::folderItemCountDropsStaleResults()
{
    QTemporaryDir big;
    for (int i = 0; i < 2000; ++i)
        makeFile(big.filePath(QStringLiteral("f%1").arg(i)));
    QTemporaryDir small;
    makeFile(small.filePath("only"));

    FolderItemCount counter;
    counter.setUrl(QUrl::fromLocalFile(big.path()));
    counter.setUrl(QUrl::fromLocalFile(small.path()));
    QTRY_VERIFY(counter.ready());
    QCOMPARE(counter.count(), qint64(1));
    // Whatever the first walk still delivers must not overwrite the answer.
    QCoreApplication::processEvents();
    QCOMPARE(counter.count(), qint64(1));
}

void UiHelpersTest::folderItemCountSurvivesEarlyDestruction()
{
    QTemporaryDir dir;
    for (int i = 0; i < 2000; ++i)
        makeFile(dir.filePath(QStringLiteral("s%1/f%2").arg(i % 50).arg(i)));
    const QUrl url = QUrl::fromLocalFile(dir.path());

    for (int i = 0; i < 20; ++i) {
        auto doomed = std::make_unique<FolderItemCount>();
        doomed->setUrl(url);
    }
    FolderItemCount survivor;
    survivor.setUrl(url);
    QTRY_VERIFY(survivor.ready());
    QCOMPARE(survivor.count(), qint64(2000));
    QCoreApplication::processEvents();
}

void UiHelpersTest::revealGoesToTheHandler()
{
    QList<QUrl> asked;
    const RevealHandler previous = setRevealHandler([&asked](const QUrl &url) { asked << url; });

    const QUrl file = QUrl::fromLocalFile("/tmp/some folder/bundled-output.txt");
    revealInFileManager(file);
    FileManager().reveal(file);
    // Only local items are shown; anything else could open an arbitrary program.
    revealInFileManager(QUrl("https://example.invalid/x"));
    revealInFileManager(QUrl());

    setRevealHandler(previous);
    QCOMPARE(asked, (QList<QUrl>{file, file}));
    QVERIFY(!revealActionText().isEmpty());
}

void UiHelpersTest::revealWithoutSessionBusOpensTheFolder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // main() has pointed the session bus nowhere, so the desktop's own
    // handler is all that is left; it is caught here rather than started.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedByDesktop");
    revealInFileManager(QUrl::fromLocalFile("/tmp/some folder/bundled-output.txt"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile("/tmp/some folder")});
#else
    QSKIP("freedesktop.org desktops only");
#endif
}

int main(int argc, char *argv[])
{
    // No file manager may be reached through the developer's own session.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumbrel-test-bus");
    QCoreApplication app(argc, argv);
    UiHelpersTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ui_helpers.moc"
