#include "BundleOptions.h"
#include "Icons.h"
#include "Reveal.h"

#include <QLocale>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRawFont>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

// Stands in for the main view's selection object.
class Selection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl selectedFile MEMBER selectedFile NOTIFY selectedFileChanged)
public:
    QUrl selectedFile;
signals:
    void selectedFileChanged();
};

class UiViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everySymbolHasAGlyph();
    void settingsStoreAtOnceAndReset();
    void statusBarHidesTotalsWhileEstimating();
    void completionShowsTotalsAndActs();
    void fileRowSelectionAndActions();

private:
    // Creates `qml` (with Lumbrel imported) in the test window, which it shows.
    QQuickItem *show(const QString &qml, const QVariantMap &properties = {});
    QQuickItem *child(QQuickItem *root, const char *name)
    {
        auto *item = root->findChild<QQuickItem *>(QLatin1String(name));
        if (!item)
            qWarning("no item named %s", name);
        return item;
    }
    void click(QQuickItem *item)
    {
        QVERIFY(item);
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, centre);
    }

    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    QList<QUrl> m_revealed;
    RevealHandler m_previousReveal;
};

void UiViewsTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void UiViewsTest::init()
{
    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    m_window = std::make_unique<QQuickWindow>();
    m_window->resize(400, 500);
    m_revealed.clear();
    m_previousReveal = setRevealHandler([this](const QUrl &url) { m_revealed << url; });
}

void UiViewsTest::cleanup()
{
    setRevealHandler(m_previousReveal);
    m_window.reset();
    m_engine.reset();
}

QQuickItem *UiViewsTest::show(const QString &qml, const QVariantMap &properties)
{
    QQmlComponent component(m_engine.get());
    component.setData(("import QtQuick\nimport Lumbrel\n" + qml).toUtf8(), QUrl("qrc:/test/View.qml"));
    QObject *object = component.createWithInitialProperties(properties);
    if (!object)
        qWarning() << component.errors();
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item)
        return nullptr;
    item->setParent(m_window->contentItem());
    item->setParentItem(m_window->contentItem());
    if (item->width() == 0)
        item->setSize(m_window->size());
    m_window->show();
    m_window->requestActivate();
    if (!QTest::qWaitForWindowActive(m_window.get()))
        return nullptr;
    return item;
}

void UiViewsTest::everySymbolHasAGlyph()
{
    QVERIFY(!Icons::iconFontFamily().isEmpty());
    const QRawFont font(Icons::fontPath(), 16);
    QVERIFY(font.isValid());
    for (const char *symbol : {"gear", "doc.on.doc", "checkmark.seal.fill", "folder.fill", "doc.fill",
                               "magnifyingglass", "xmark", "number", "textformat"}) {
        const QString glyph = Icons::glyphFor(QLatin1String(symbol));
        QVERIFY2(glyph.size() == 1 && font.supportsCharacter(glyph.at(0)), symbol);
    }
    QVERIFY(Icons::glyphFor(QStringLiteral("no.such.symbol")).isEmpty());
}

void UiViewsTest::settingsStoreAtOnceAndReset()
{
    QTemporaryDir dir;
    QSettings store(dir.filePath("options.ini"), QSettings::IniFormat);
    BundleOptions options(&store);
    QQuickItem *panel = show("SettingsView {}", {{"options", QVariant::fromValue<QObject *>(&options)}});
    QVERIFY(panel);
    // Opening the panel writes nothing.
    QVERIFY(store.allKeys().isEmpty());

    click(child(panel, "addSummarySwitch"));
    QCOMPARE(store.value("addSummary"), QVariant(false));
    click(child(panel, "removeEmptyLinesSwitch"));
    QCOMPARE(store.value("removeEmptyLines"), QVariant(true));
    QCOMPARE(store.allKeys().size(), 2);

    QQuickItem *picker = child(panel, "formatPicker");
    QVERIFY(picker);
    picker->forceActiveFocus();
    QTest::keyClick(m_window.get(), Qt::Key_Down);
    QCOMPARE(store.value("style").toString(), QStringLiteral("xml"));
    // Written elsewhere, shown here.
    options.setStyle(QStringLiteral("markdown"));
    QCOMPARE(picker->property("currentText").toString(), QStringLiteral("Markdown"));

    click(child(panel, "resetButton"));
    QCOMPARE(store.allKeys().size(), 7);
    QCOMPARE(options.values(), BundleOptions::Values{});
    QCOMPARE(picker->property("currentText").toString(), QStringLiteral("Plain Text"));
    const QList<QPair<const char *, bool>> shown{
        {"addSummarySwitch", true},       {"addFileStructureSwitch", true}, {"removeEmptyLinesSwitch", false},
        {"removeCommentsSwitch", true},   {"showLineNumbersSwitch", false}, {"securityCheckSwitch", true}};
    for (const auto &[name, checked] : shown)
        QVERIFY2(child(panel, name)->property("checked").toBool() == checked, name);
    delete panel; // before the options it shows
}

void UiViewsTest::statusBarHidesTotalsWhileEstimating()
{
    QQuickItem *bar = show("StatusBarView {}",
                           {{"totalFiles", 1}, {"totalChars", 0}, {"estimatedTokens", 1234567}, {"isEstimating", true}});
    QVERIFY(bar);
    QQuickItem *estimating = child(bar, "estimatingText");
    QQuickItem *totals = child(bar, "totalsText");
    QVERIFY(estimating->isVisible());
    QVERIFY(!totals->isVisible());
    QCOMPARE(estimating->property("text").toString(), QStringLiteral("Estimating..."));

    bar->setProperty("isEstimating", false);
    QVERIFY(!estimating->isVisible());
    QVERIFY(totals->isVisible());
    QCOMPARE(totals->property("text").toString(),
             QString::fromUtf8("Files: 1 • Chars: 0 • Tokens: 1,234,567"));
}

void UiViewsTest::completionShowsTotalsAndActs()
{
    const QUrl output = QUrl::fromLocalFile("/tmp/some folder/bundled-output.md");
    QQuickItem *view = show("CompletionView {}", {{"outputFile", output},
                                                  {"totalFiles", 1},
                                                  {"totalChars", 0},
                                                  {"estimatedTokens", 2500000}});
    QVERIFY(view);
    QSignalSpy reset(view, SIGNAL(reset()));

    QCOMPARE(child(view, "fileNameText")->property("text").toString(), QStringLiteral("bundled-output.md"));
    QStringList rows;
    for (QQuickItem *row : child(view, "totals")->childItems())
        for (QQuickItem *part : row->childItems())
            if (part->property("text").toString().contains(' '))
                rows << part->property("text").toString();
    QCOMPARE(rows, (QStringList{"1 files", "0 characters", "2,500,000 tokens"}));

    QQuickItem *revealButton = child(view, "revealButton");
    QTRY_COMPARE(revealButton->opacity(), 1.0);
    click(revealButton);
    click(revealButton);
    QCOMPARE(m_revealed, (QList<QUrl>{output, output}));
    QCOMPARE(reset.size(), 0);

    click(child(view, "bundleMoreButton"));
    QCOMPARE(reset.size(), 1);
    QCOMPARE(m_revealed.size(), 2);
}

void UiViewsTest::fileRowSelectionAndActions()
{
    QTemporaryDir dir;
    for (const char *name : {"sub/a", "sub/b", "plain.txt"}) {
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QUrl folder = QUrl::fromLocalFile(dir.filePath("sub"));
    const QUrl plain = QUrl::fromLocalFile(dir.filePath("plain.txt"));
    Selection selection;
    const auto row = [&](const QUrl &file, int y) {
        return show(QStringLiteral("FileRow { width: 400; y: %1 }").arg(y),
                    {{"file", file}, {"selectionState", QVariant::fromValue<QObject *>(&selection)}});
    };
    QQuickItem *folderRow = row(folder, 0);
    QQuickItem *fileRow = row(plain, 100);
    QVERIFY(folderRow && fileRow);
    QSignalSpy removeFolder(folderRow, SIGNAL(remove()));

    QTRY_COMPARE(child(folderRow, "itemCountText")->property("text").toString(), QStringLiteral("2 items"));
    QVERIFY(!child(fileRow, "itemCountText")->isVisible());

    // Hidden buttons do nothing: a click there selects the row.
    QQuickItem *removeButton = child(folderRow, "removeButton");
    QCOMPARE(removeButton->opacity(), 0.0);
    click(removeButton);
    QCOMPARE(removeFolder.size(), 0);
    QCOMPARE(selection.selectedFile, folder);
    QCOMPARE(removeButton->opacity(), 1.0);
    QCOMPARE(child(fileRow, "removeButton")->opacity(), 0.0);

    click(fileRow);
    QCOMPARE(selection.selectedFile, plain);
    QCOMPARE(removeButton->opacity(), 0.0);
    QCOMPARE(child(fileRow, "revealButton")->opacity(), 1.0);

    click(child(fileRow, "revealButton"));
    QCOMPARE(m_revealed, QList<QUrl>{plain});
    QCOMPARE(selection.selectedFile, plain);

    click(folderRow);
    click(removeButton);
    QCOMPARE(removeFolder.size(), 1);
    QCOMPARE(removeButton->property("text").toString(), QStringLiteral("Remove"));
    QCOMPARE(child(fileRow, "revealButton")->property("text").toString(), QStringLiteral("Show in file manager"));
}

QTEST_MAIN(UiViewsTest)
#include "tst_ui_views.moc"
