#include "PrivateArea.h"
#include "TestFiles.h"

#include <QProcess>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

// Child mode: makes a session, says where, and keeps it until its input ends.
int holdSession()
{
    const Result<QString> session = PrivateArea::sessionDirectory();
    std::printf("%s\n", session ? qPrintable(session.value()) : "");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

class PrivateAreaTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_temp = std::make_unique<PrivateTemp>();
        m_fixed = m_temp->filePath(QStringLiteral("lumbrel-%1").arg(::getuid()));
    }
    void cleanup() { m_temp.reset(); }

    // The fixed area is used when it is ours (and made private again); a
    // link planted in its place or another user's folder is never used nor
    // entered, and then the socket has no fixed place either.
    void theFixedAreaOnlyWhenItIsOurs_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::newRow("ours, opened to others") << "us";
        QTest::newRow("a link planted in its place") << "link";
        QTest::newRow("another user's folder") << "other";
    }
    void theFixedAreaOnlyWhenItIsOurs()
    {
        QFETCH(QString, owner);
        const QString elsewhere = m_temp->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkdir(elsewhere));
        if (owner == "link") {
            QVERIFY(QFile::link(elsewhere, m_fixed));
        } else {
            if (owner == "other" && ::geteuid() != 0)
                QSKIP("only root can give a folder to another user");
            QVERIFY(QDir().mkdir(m_fixed));
            QVERIFY(QFile::setPermissions(m_fixed, QFileDevice::Permissions(0x7777)));
            if (owner == "other")
                QCOMPARE(::chown(QFile::encodeName(m_fixed).constData(), 65534, 65534), 0);
        }
        const QString area = PrivateArea::temporaryArea().value();
        QVERIFY2(owner == "us" ? area == m_fixed : area.startsWith(m_fixed + u'-'), qPrintable(area));
        QCOMPARE(modeOf(area), 0700u);
        const QString session = PrivateArea::sessionDirectory().value();
        QCOMPARE(QFileInfo(session).path(), area);
        QVERIFY(QFileInfo(session).fileName().startsWith(QLatin1String("session-")));
        QCOMPARE(modeOf(session), 0700u);
        const QString scratch = PrivateArea::scratchFile(QStringLiteral(".xml")).value();
        QCOMPARE(QFileInfo(scratch).path(), session);
        QVERIFY(scratch.endsWith(QLatin1String(".xml")) && !QFileInfo::exists(scratch));
        QVERIFY(QDir(elsewhere).isEmpty());
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(PrivateArea::instanceDirectory().ok(), owner == "us");
    }

    void theTemporaryFolderMustBeAFolder()
    {
        writeFile(m_temp->filePath("file").toStdString(), "x");
        for (const auto &[name, problem] : {std::pair{"missing", "does not exist"}, std::pair{"file", "is not a folder"}}) {
            const QString folder = m_temp->filePath(QString::fromLatin1(name));
            qputenv("TMPDIR", folder.toUtf8());
            const Result<QString> session = PrivateArea::sessionDirectory();
            QCOMPARE(session ? QString() : session.error().description,
                     QStringLiteral("The temporary folder \"%1\" set by TMPDIR %2.").arg(folder, QLatin1String(problem)));
        }
    }

    void theSocketFolderIsPrivate()
    {
        const QString runtime = m_temp->filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkdir(runtime));
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
        QVERIFY(QFile::setPermissions(runtime, QFileDevice::Permissions(0x7755)));
        QCOMPARE(PrivateArea::instanceDirectory().value(), m_fixed); // others can enter it: not used
        QVERIFY(QFile::setPermissions(runtime, QFileDevice::Permissions(0x7700)));
        QCOMPARE(PrivateArea::instanceDirectory().value(), runtime + QStringLiteral("/lumbrel"));
        QCOMPARE(modeOf(runtime + QStringLiteral("/lumbrel")), 0700u);
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void theCacheFolderIsPrivate()
    {
        const QString home = m_temp->filePath(QStringLiteral("cache"));
        qputenv("XDG_CACHE_HOME", home.toUtf8());
        const QString application = home + u'/' + QCoreApplication::applicationName();
        QCOMPARE(PrivateArea::cacheDirectory().value(), application + QStringLiteral("/packer"));
        QCOMPARE(modeOf(application + QStringLiteral("/packer")), 0700u);

        QVERIFY(QDir(application + QStringLiteral("/packer")).removeRecursively());
        QVERIFY(QFile::link(m_temp->path(), application + QStringLiteral("/packer")));
        QVERIFY(!PrivateArea::cacheDirectory().ok());
        qunsetenv("XDG_CACHE_HOME");
    }

    // A session goes with its process, however the process ends; what an
    // earlier run left (a power cut, or a system without the watcher) goes
    // with the next start's sweep, which takes nothing anyone still holds.
    void sessionsGoWithTheirProcessOrWithTheSweep()
    {
        QProcess live;
        live.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-session")});
        QVERIFY(live.waitForReadyRead(-1));
        const QString liveSession = QString::fromLocal8Bit(live.readLine().trimmed());
        QVERIFY(!liveSession.isEmpty());
        writeFile((liveSession + "/repomix-temp-X/a.txt").toStdString(), "1234");

        // A dead session in the fixed area and one in the fallback area of an
        // earlier run, and things that only look like sessions.
        const QString deadSession = m_fixed + QStringLiteral("/session-dead");
        writeFile((deadSession + "/lock").toStdString(), "");
        writeFile((deadSession + "/repomix-temp-X/a.txt").toStdString(), "1234");
        const QString fallback = m_fixed + QStringLiteral("-abc123");
        QVERIFY(QDir().mkpath(fallback + "/session-old"));
        writeFile((fallback + "/session-old/lock").toStdString(), "");
        QVERIFY(QDir().mkpath(m_fixed + "/session-being-set-up")); // no lock yet
        QVERIFY(QFile::link(m_temp->path(), m_fixed + "/session-link"));
        for (const QString &folder : {deadSession, fallback, fallback + "/session-old", m_fixed + "/session-being-set-up"})
            QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7700)));
        const QString own = PrivateArea::sessionDirectory().value();

        const PrivateArea::Sweep sweep = PrivateArea::sweepStale();
        QCOMPARE(sweep.removed, 2);
        QCOMPARE(sweep.bytes, 4);
        QVERIFY(!QFileInfo::exists(deadSession));
        QVERIFY(!QFileInfo::exists(fallback)); // emptied, so removed
        for (const QString &kept : {liveSession, own, m_fixed + "/session-being-set-up", m_fixed + "/session-link"})
            QVERIFY2(QFileInfo::exists(kept), qPrintable(kept));
        QVERIFY(QFileInfo::exists(m_temp->path())); // the link was not followed

        live.kill(); // SIGKILL: the process cleans nothing up itself
        QVERIFY(live.waitForFinished(-1));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(liveSession), 10000);
        QVERIFY(QFileInfo::exists(own));
    }

private:
    std::unique_ptr<PrivateTemp> m_temp;
    QString m_fixed;
};

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--hold-session") == 0)
        return holdSession();
    QCoreApplication app(argc, argv);
    PrivateAreaTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_private_area.moc"
