// "Show in File Manager" where no file manager service answers on the session
// bus: the enclosing folder opens with the desktop's handler for folders, and
// never with Lumbrel itself, whatever xdg-mime says. The desktop here is a
// private one: fake desktop entries whose command records its arguments, the
// caches that list them, and a fake xdg-mime.
#include "Desktop.h"
#include "TestFiles.h"

#include <QTest>

class RevealFallbackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No session bus: the fallback runs at once.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumbrel-test-bus");
        m_path = qgetenv("PATH");
    }
    void cleanup() { qputenv("PATH", m_path); }

    void opensTheFolderElsewhere_data()
    {
        QTest::addColumn<QString>("xdgMime"); // what `xdg-mime query default` prints; "-" when it is missing
        QTest::addColumn<QString>("cached");  // the folder handlers of the system's cache, in order
        QTest::addColumn<QStringList>("expected"); // the arguments the chosen handler gets

        const QStringList files{QStringLiteral("files"), QStringLiteral("--name=Files"), QStringLiteral("@FOLDER@")};
        const QStringList browser{QStringLiteral("browser"), QStringLiteral("@URL@")};
        QTest::newRow("the default is a file manager") << "files.desktop" << "app.lumbrel.Lumbrel.desktop;files.desktop;" << files;
        QTest::newRow("the default is Lumbrel") << "app.lumbrel.Lumbrel.desktop" << "app.lumbrel.Lumbrel.desktop;browser.desktop;files.desktop;" << browser;
        QTest::newRow("no default") << "" << "app.lumbrel.Lumbrel.desktop;files.desktop;" << files;
        QTest::newRow("the default has no entry") << "gone.desktop" << "files.desktop;" << files;
        QTest::newRow("no xdg-utils") << "-" << "app.lumbrel.Lumbrel.desktop;browser.desktop;" << browser;
    }
    void opensTheFolderElsewhere()
    {
        QFETCH(QString, xdgMime);
        QFETCH(QString, cached);
        QFETCH(QStringList, expected);

        QTemporaryDir dir;
        const std::filesystem::path root = dir.path().toStdString();
        // The recorder, in a folder with a space, named in quotes by every entry.
        const std::filesystem::path recorder = root / "fake bin" / "record";
        writeFile(recorder, "#!/bin/sh\nout=\"$(dirname \"$0\")/../launched-$1\"\n"
                            "printf '%s\\n' \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        std::filesystem::permissions(recorder, std::filesystem::perms::owner_all);
        const auto entry = [&](const char *id, const char *name, const char *arguments) {
            writeFile(root / "system/applications" / id,
                      "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\nExec=\"" + recorder.string()
                          + "\" " + arguments + "\n\n[Desktop Action other]\nName=Other\nExec=wrong %f\n");
        };
        entry("app.lumbrel.Lumbrel.desktop", "Lumbrel", "lumbrel %U");
        entry("files.desktop", "Files", "files --name=%c %i %f");
        entry("browser.desktop", "Browser", "browser %U");
        writeFile(root / "system/applications/mimeinfo.cache",
                  "[MIME Cache]\ntext/plain=app.lumbrel.Lumbrel.desktop;\ninode/directory=" + cached.toStdString() + "\n");
        std::filesystem::create_directories(root / "home/applications");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("system"))));

        const std::filesystem::path tools = root / "tools";
        std::filesystem::create_directories(tools);
        if (xdgMime != QLatin1String("-")) {
            writeFile(tools / "xdg-mime", "#!/bin/sh\n[ \"$*\" = 'query default inode/directory' ] || exit 2\necho '"
                                              + xdgMime.toStdString() + "'\n");
            std::filesystem::permissions(tools / "xdg-mime", std::filesystem::perms::owner_all);
        }
        qputenv("PATH", QFile::encodeName(dir.filePath(QStringLiteral("tools"))) + ":/usr/bin:/bin");

        const QString folder = dir.filePath(QStringLiteral("chosen folder"));
        QDir().mkpath(folder);
        platform::revealInFileManager(folder + QStringLiteral("/bundled-output.txt"));

        const QString launched = dir.filePath(QStringLiteral("launched-") + expected.first());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(launched), 20000);
        expected.replaceInStrings(QStringLiteral("@FOLDER@"), folder);
        expected.replaceInStrings(QStringLiteral("@URL@"), QUrl::fromLocalFile(folder).toString());
        QCOMPARE(QString::fromUtf8(readAll(launched)).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("launched-lumbrel"))));
    }

private:
    QByteArray m_path;
};

QTEST_GUILESS_MAIN(RevealFallbackTest)
#include "tst_reveal_fallback.moc"
