#include "AppDelegate.h"
#include "SingleInstance.h"
#include "BuildConfig.h"
#include "SupportRequest.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class ShellTest : public QObject
{
    Q_OBJECT

private slots:
    void supportMailIsEncodedForAQuery()
    {
        QCOMPARE(SupportRequest::mailtoText("a@b.c", QString::fromUtf8("Grüße & 100%"), "x+y\n\n"),
                 QStringLiteral("mailto:a@b.c?subject=Gr%C3%BC%C3%9Fe%20&%20100%25&body=x+y%0A%0A"));
        QList<QUrl> opened;
        QList<bool> answers;
        for (const bool mailProgram : {false, true}) {
            SupportRequest::contactSupport([&](bool taken) { answers << taken; },
                                           [&](const QUrl &url, const std::function<void(bool)> &done) {
                                               opened << url;
                                               done(mailProgram);
                                           });
        }
        QCOMPARE(opened.size(), 2); // every choice opens a new message
        QCOMPARE(opened.first().toString(QUrl::FullyEncoded),
                 SupportRequest::mailtoText(QString::fromUtf8(buildconfig::supportAddress), SupportRequest::subject,
                                            SupportRequest::body));
        QCOMPARE(answers, (QList<bool>{false, true})); // without a mail program the caller hears so
    }

    void openRequestsComeOnTheNextTurn()
    {
        AppDelegate delegate;
        QSignalSpy requests(&delegate, &AppDelegate::openRequested);
        QSignalSpy activations(&delegate, &AppDelegate::activateRequested);
        const QUrl a = QUrl::fromLocalFile("/a"), b = QUrl::fromLocalFile("/b");
        delegate.openUrls({a, b});
        QCOMPARE(requests.count(), 0); // on the next turn of the event loop
        QTRY_COMPARE(requests.count(), 1);
        QCOMPARE(requests.at(0).at(0).value<QList<QUrl>>(), (QList<QUrl>{a, b}));
        delegate.openUrls({});
        QTRY_COMPARE(activations.count(), 2); // the window comes forward, also without files
        QCOMPARE(requests.count(), 1);
    }

    void argumentsBecomeFileUrls()
    {
        const QList<QUrl> urls = AppDelegate::urlsFromArguments(
            {"/tmp/x y", "file:///etc/hosts", "relative/z", "-v", "https://example.com/"});
        QCOMPARE(urls, (QList<QUrl>{QUrl::fromLocalFile("/tmp/x y"), QUrl::fromLocalFile("/etc/hosts"),
                                    QUrl::fromLocalFile(QDir::current().absoluteFilePath("relative/z")),
                                    QUrl::fromLocalFile(QDir::current().absoluteFilePath("-v"))}));
    }

    void secondLaunchHandsOverItsFiles()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("instance");
        SingleInstance first(name);
        SingleInstance second(name);
        QVERIFY(!first.forwardToRunning({})); // nobody runs yet
        QVERIFY(first.listen());
        QSignalSpy activated(&first, &SingleInstance::activated);

        const QList<QUrl> files{QUrl::fromLocalFile("/home/u/project"), QUrl::fromLocalFile("/tmp/ä b.txt")};
        bool forwarded = false;
        // The running copy answers from the event loop, so the launch runs on its own thread.
        std::unique_ptr<QThread> launch(QThread::create([&] { forwarded = second.forwardToRunning(files); }));
        launch->start();
        QTRY_COMPARE(activated.count(), 1);
        QVERIFY(launch->wait(5000));
        QVERIFY(forwarded);
        QCOMPARE(activated.at(0).at(0).value<QList<QUrl>>(), files);
    }
};

QTEST_GUILESS_MAIN(ShellTest)
#include "tst_shell.moc"
