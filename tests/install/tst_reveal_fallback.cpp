// "Show in File Manager" where no file manager service answers on the session
// bus: the enclosing folder opens with the desktop's handler for folders, and
// never with Lumbrel itself, whatever xdg-mime says. The desktop here is a
// private one: fake desktop entries whose command records its arguments, the
// caches that list them, and a fake xdg-mime.
#include "Desktop.h"
#include "TestFiles.h"

#include <QTest>

#include <optional>

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

    // With no file manager service and no other handler for folders, the
    // caller hears that nothing could show the item.
    void sayWhenNothingCanShowIt()
    {
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("system"))));
        qputenv("PATH", QFile::encodeName(dir.path()));
        bool failed = false;
        platform::revealInFileManager(dir.filePath(QStringLiteral("bundled-output.txt")), [&failed] { failed = true; });
        QTRY_VERIFY(failed);
    }

    // A mail link opens only where the desktop names a mail program; without
    // one the caller hears so (and shows the address instead).
    void mailLinkNeedsAMailProgram_data()
    {
        QTest::addColumn<QString>("handler"); // what `xdg-mime query default` prints; "-" when it is missing
        QTest::addColumn<bool>("opened");
        QTest::newRow("a mail program") << "mail.desktop" << true;
        QTest::newRow("none") << "" << false;
        QTest::newRow("no xdg-utils") << "-" << false;
    }
    void mailLinkNeedsAMailProgram()
    {
        QFETCH(QString, handler);
        QFETCH(bool, opened);
        QTemporaryDir dir;
        const std::filesystem::path tools = dir.path().toStdString();
        if (handler != QLatin1String("-")) {
            writeFile(tools / "xdg-mime", "#!/bin/sh\n[ \"$*\" = 'query default x-scheme-handler/mailto' ] || exit 2\necho '"
                                              + handler.toStdString() + "'\n");
            writeFile(tools / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"${0%/*}/opened\"\n");
            for (const char *tool : {"xdg-mime", "xdg-open"})
                std::filesystem::permissions(tools / tool, std::filesystem::perms::owner_all);
        }
        qputenv("PATH", QFile::encodeName(dir.path()));
        std::optional<bool> answer;
        platform::openMailLink(QUrl(QStringLiteral("mailto:help@example.org")), [&answer](bool taken) { answer = taken; });
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(*answer, opened);
        if (opened)
            QTRY_COMPARE(readAll(dir.filePath(QStringLiteral("opened"))), QByteArray("mailto:help@example.org"));
    }

    // The desktop's own files say whether to leave out animations.
    void reducedMotionFromTheDesktopsSettings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("reduced");
        QTest::newRow("nothing said") << "" << QByteArray() << false;
        QTest::newRow("GTK 3, off") << "gtk-3.0/settings.ini" << QByteArray("[Settings]\ngtk-enable-animations=false\n") << true;
        QTest::newRow("GTK 4, on") << "gtk-4.0/settings.ini" << QByteArray("[Settings]\ngtk-enable-animations=true\n") << false;
        QTest::newRow("KDE, speed 0") << "kdeglobals" << QByteArray("[KDE]\nAnimationDurationFactor=0\n") << true;
    }
    void reducedMotionFromTheDesktopsSettings()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(bool, reduced);
        QTemporaryDir dir;
        if (!file.isEmpty())
            writeFile(dir.filePath(file).toStdString(), text.toStdString());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        QObject context;
        std::optional<bool> said;
        platform::watchReducedMotion(&context, [&said](bool on) { said = on; });
        QVERIFY(said.has_value()); // said at once; a desktop portal may say more later
        QCOMPARE(*said, reduced);
    }

private:
    QByteArray m_path;
};

QTEST_GUILESS_MAIN(RevealFallbackTest)
#include "tst_reveal_fallback.moc"
