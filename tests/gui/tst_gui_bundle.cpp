#include "MainScreen.h"

#include <QFile>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

// A whole bundle on the main screen with the bundled packer: start, save
// dialog, processing overlay, completion screen.
class GuiBundleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MainScreen::setUpStyle(); }
    void bundleEndsOnTheCompletionScreen();
};

void GuiBundleTest::bundleEndsOnTheCompletionScreen()
{
    MainScreen screen(PackerLocation{QStringLiteral(LUMBREL_TEST_RUNTIME), QStringLiteral(LUMBREL_TEST_SCRIPT)});
    QVERIFY(screen.ready());
    const QUrl folder = screen.fixture("project", {"README.md", "src/main.c", "src/util.c"});
    screen.drop(screen.item("dropArea"), {folder});
    QQuickItem *start = screen.item("startButton");
    // The estimate runs first; the button waits for it.
    QTRY_VERIFY_WITH_TIMEOUT(screen.view.totalFiles() == 3 && start->isEnabled(), 60000);

    screen.click(start);
    screen.acceptSaveDialog(); // the proposed file, in the private home
    if (QTest::currentTestFailed())
        return;
    const QUrl output = QUrl::fromLocalFile(screen.dir.filePath("bundled-output.txt"));

    QTRY_VERIFY(screen.view.isProcessing());
    QTRY_VERIFY(MainScreen::shown(screen.item("processingOverlay")));
    QTRY_VERIFY_WITH_TIMEOUT(!screen.view.isProcessing(), 60000);
    QVERIFY2(!screen.view.showAlert(), qPrintable(screen.view.alertMessage()));
    QCOMPARE(screen.view.outputFile(), output);
    QVERIFY(QFile(output.toLocalFile()).size() > 0);

    QTRY_VERIFY(MainScreen::shown(screen.item("completion")));
    QTRY_VERIFY(!screen.item("normalContent")->isVisible());
    QCOMPARE(screen.item("fileNameText")->property("text").toString(), QStringLiteral("bundled-output.txt"));
    QStringList totals;
    for (QQuickItem *row : screen.item("totals")->childItems())
        for (QQuickItem *part : row->childItems())
            if (part->property("text").toString().contains(' '))
                totals << part->property("text").toString();
    QCOMPARE(totals.size(), 3);
    QCOMPARE(totals.at(0), QStringLiteral("3 files"));
    QCOMPARE(totals.at(1), QStringLiteral("%1 characters").arg(QLocale().toString(screen.view.totalChars())));
    QCOMPARE(totals.at(2), QStringLiteral("%1 tokens").arg(QLocale().toString(screen.view.estimatedTokens())));
    QVERIFY(screen.view.totalChars() > 0 && screen.view.estimatedTokens() > 0);
}

QTEST_MAIN(GuiBundleTest)
#include "tst_gui_bundle.moc"
