#include "BundleOptions.h"
#include "Reveal.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

namespace {
// `qml`, with Lumbrel imported, shown in a window of its own.
struct Scene
{
    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<QQuickItem> root;

    explicit Scene(const QString &qml, const QVariantMap &properties = {})
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&engine);
        component.setData(("import QtQuick\nimport Lumbrel\n" + qml).toUtf8(), QUrl("qrc:/test/View.qml"));
        root.reset(qobject_cast<QQuickItem *>(component.createWithInitialProperties(properties)));
        if (!root)
            qFatal("%s", qPrintable(component.errorString()));
        window.resize(400, 500);
        root->setParentItem(window.contentItem());
        window.show();
        window.requestActivate();
        if (!QTest::qWaitForWindowActive(&window))
            qFatal("the test window did not become active");
    }
    QQuickItem *child(const char *name) const
    {
        if (auto *item = root->findChild<QQuickItem *>(QLatin1String(name)))
            return item;
        qFatal("no item named %s", name);
    }
    void click(const char *name)
    {
        QQuickItem *item = child(name);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }
};
} // namespace

class UiViewsTest : public QObject
{
    Q_OBJECT
    QList<QUrl> m_revealed;
    RevealHandler m_previousReveal;

private slots:
    void init()
    {
        m_revealed.clear();
        m_previousReveal = setRevealHandler([this](const QUrl &url) { m_revealed << url; });
    }
    void cleanup() { setRevealHandler(m_previousReveal); }

    void settingsWriteAtOnceAndResetRestoresAll()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath("options.ini"), QSettings::IniFormat);
        BundleOptions options(&store);
        Scene panel("SettingsView {}", {{"options", QVariant::fromValue<QObject *>(&options)}});
        QVERIFY(store.allKeys().isEmpty()); // opening the panel writes nothing

        panel.click("removeEmptyLinesSwitch");
        QCOMPARE(store.value("removeEmptyLines"), QVariant(true));
        QQuickItem *picker = panel.child("formatPicker");
        picker->forceActiveFocus();
        QTest::keyClick(&panel.window, Qt::Key_Down);
        QCOMPARE(store.value("style").toString(), QStringLiteral("xml"));
        options.setStyle(QStringLiteral("markdown")); // written elsewhere, shown here
        QCOMPARE(picker->property("currentText").toString(), QStringLiteral("Markdown"));

        panel.click("resetButton");
        QCOMPARE(store.allKeys().size(), 7);
        QCOMPARE(options.values(), BundleOptions::Values{});
        QCOMPARE(picker->property("currentText").toString(), QStringLiteral("Plain Text"));
        QVERIFY(!panel.child("removeEmptyLinesSwitch")->property("checked").toBool());
    }

    void statusBarHidesTotalsWhileEstimating()
    {
        Scene bar("StatusBarView {}", {{"totalFiles", 1}, {"estimatedTokens", 1234567}, {"isEstimating", true}});
        QQuickItem *estimating = bar.child("estimatingText");
        QQuickItem *totals = bar.child("totalsText");
        QVERIFY(estimating->isVisible() && !totals->isVisible());
        QCOMPARE(estimating->property("text").toString(), QStringLiteral("Estimating..."));

        bar.root->setProperty("isEstimating", false);
        QVERIFY(!estimating->isVisible() && totals->isVisible());
        QCOMPARE(totals->property("text").toString(), QString::fromUtf8("Files: 1 • Chars: 0 • Tokens: 1,234,567"));
    }

    void completionRevealsTheOutputAndStartsOver()
    {
        const QUrl output = QUrl::fromLocalFile("/tmp/some folder/bundled-output.md");
        Scene view("CompletionView {}", {{"outputFile", output}});
        QSignalSpy reset(view.root.get(), SIGNAL(reset()));
        QTRY_COMPARE(view.child("revealButton")->opacity(), 1.0);
        view.click("revealButton");
        QCOMPARE(m_revealed, QList<QUrl>{output});
        QCOMPARE(reset.size(), 0);
        view.click("bundleMoreButton");
        QCOMPARE(reset.size(), 1);
    }

    void fileRowActsOnlyWhenSelected()
    {
        QTemporaryDir dir;
        for (const char *name : {"a", "b"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        const QUrl folder = QUrl::fromLocalFile(dir.path());
        Scene row("FileRow { selectionState: QtObject { property url selectedFile } }", {{"file", folder}});
        QSignalSpy remove(row.root.get(), SIGNAL(remove()));
        QTRY_COMPARE(row.child("itemCountText")->property("text").toString(), QStringLiteral("2 items"));

        // A click on a hidden button only selects the row.
        row.click("removeButton");
        QCOMPARE(row.root->property("selectionState").value<QObject *>()->property("selectedFile").toUrl(), folder);
        QCOMPARE(remove.size(), 0);
        row.click("revealButton");
        QCOMPARE(m_revealed, QList<QUrl>{folder});
        row.click("removeButton");
        QCOMPARE(remove.size(), 1);
    }
};

QTEST_MAIN(UiViewsTest)
#include "tst_ui_views.moc"
