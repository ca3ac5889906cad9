#include "BundleOptions.h"
#include "Reveal.h"
#include "Scene.h"

#include <QAccessible>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LumbrelPlugin)

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

    void statusBarHidesTotalsWhileEstimating()
    {
        Scene bar("StatusBarView {}", {{"totalFiles", 1}, {"estimatedTokens", 1234567}, {"isEstimating", true}});
        QQuickItem *estimating = bar.child("estimatingText");
        QQuickItem *totals = bar.child("totalsText");
        QVERIFY(estimating->isVisible() && !totals->isVisible());
        QCOMPARE(estimating->property("text").toString(), QStringLiteral("Estimating\u2026"));

        bar.root->setProperty("isEstimating", false);
        QVERIFY(!estimating->isVisible() && totals->isVisible());

        // A screen reader hears the new totals once, in words, when they all
        // have arrived: the accessible name changes once.
        QObject *accessible = nullptr;
        for (QObject *child : totals->children())
            if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
                accessible = child;
        QVERIFY(accessible);
        QSignalSpy renamed(accessible, SIGNAL(nameChanged()));
        bar.root->setProperty("totalFiles", 2);
        bar.root->setProperty("totalChars", 1);
        bar.root->setProperty("estimatedTokens", 0);
        QTRY_COMPARE(renamed.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(renamed.size(), 1);
        QCOMPARE(accessible->property("name").toString(), QStringLiteral("2 files, 1 character, 0 tokens"));
    }

    // The empty area's rings wave while someone can see them and rest,
    // whole, when the window goes away; they fit the area.
    void wavingRestsWhenUnseen()
    {
        Scene scene("WavingBackground { width: 368; height: 400 }");
        QTRY_VERIFY(scene.root->property("moving").toBool());
        QVERIFY(scene.root->property("ringsScale").toReal() < 1); // 506 across at their largest
        scene.window.hide();
        QTRY_VERIFY(!scene.root->property("moving").toBool());
        const QList<QQuickItem *> rings = scene.root->childItems().constFirst()->childItems();
        for (QQuickItem *ring : rings) {
            if (!ring->inherits("QQuickRectangle"))
                continue;
            QCOMPARE(ring->opacity(), 1.0);
            QCOMPARE(ring->scale(), ring->property("restScale").toReal());
        }
    }

    void completionShowsTheTotalsAndRevealsTheOutput()
    {
        const QString name = QStringLiteral("bundled-output-of-the-whole-project-with-all-of-its-folders-notes-sources-scripts-and-documentation-as-of-this-week.md");
        const QUrl output = QUrl::fromLocalFile("/tmp/some folder/" + name);
        Scene view("CompletionView { width: 400; height: 500 }",
                   {{"outputFile", output}, {"totalFiles", 1}, {"totalChars", 0}, {"estimatedTokens", 1234567}});
        QTRY_COMPARE(view.child("revealButton")->opacity(), 1.0);
        QStringList totals;
        for (QQuickItem *row : view.child("totals")->childItems()) {
            QQuickItem *text = row->childItems().constLast();
            if (text->objectName() == QLatin1String("contextFit")) { // the tokens row carries the context note
                totals << text->property("text").toString();
                text = row->childItems().constFirst()->childItems().constLast();
            }
            totals << text->property("text").toString();
        }
        QCOMPARE(totals, (QStringList{"1 file", "0 characters", "over 1M", "1,234,567 tokens"}));
        // A long name is shortened in the middle, inside the window.
        QQuickItem *fileName = view.child("fileNameText");
        QCOMPARE(fileName->property("text").toString(), name);
        QVERIFY(fileName->property("truncated").toBool());
        const QRectF shown = fileName->mapRectToScene(fileName->boundingRect());
        QVERIFY2(shown.left() >= 0 && shown.right() <= 400, qPrintable(QString::number(shown.right())));

        view.click("revealButton");
        QCOMPARE(m_revealed, QList<QUrl>{output});
        QVERIFY(!view.child("partsText")->isVisible());

        // A split bundle names each of its parts.
        const QList<QUrl> parts{QUrl::fromLocalFile("/tmp/out.1.md"), QUrl::fromLocalFile("/tmp/out.2.md"),
                                QUrl::fromLocalFile("/tmp/out.3.md")};
        view.root->setProperty("outputFiles", QVariant::fromValue(parts));
        QVERIFY(view.child("partsText")->isVisible());
        QStringList names;
        QList<QQuickItem *> items{view.root.get()};
        while (!items.isEmpty()) {
            QQuickItem *item = items.takeFirst();
            if (item->objectName() == QLatin1String("fileNameText"))
                names << item->property("text").toString();
            items += item->childItems();
        }
        QCOMPARE(names, (QStringList{"out.1.md", "out.2.md", "out.3.md"}));
    }

    // The second line says what the latest estimate packed of the folder
    // against what was found in it; buttons act only on the selected row.
    void fileRowActsOnlyWhenSelected()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("src"));
        QVERIFY(QFile(dir.filePath("src/only.c")).open(QIODevice::WriteOnly));
        const QUrl folder = QUrl::fromLocalFile(dir.filePath("src"));
        Scene row("FileRow { width: 300; onSelect: selected = true }", {{"file", folder}});
        QSignalSpy remove(row.root.get(), SIGNAL(remove()));
        QTRY_COMPARE(row.child("itemCountText")->property("text").toString(), QStringLiteral("1 file"));
        // Assistive technology reads a named list item, and no hidden buttons.
        QAccessibleInterface *item = QAccessible::queryAccessibleInterface(row.root.get());
        QVERIFY(item);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QCOMPARE(item->text(QAccessible::Name), QStringLiteral("src, folder, 1 file"));
        QCOMPARE(item->childCount(), 0);

        // A click on a hidden button only selects the row.
        row.click("removeButton");
        QVERIFY(row.root->property("selected").toBool());
        QCOMPARE(remove.size(), 0);
        QStringList buttons;
        for (int i = 0; i < item->childCount(); ++i)
            buttons << item->child(i)->text(QAccessible::Name);
        QCOMPARE(buttons, (QStringList{"Show src in File Manager", "Remove src"}));
        // The icons are at least 16 pixels, in targets of at least 24.
        QQuickItem *removeButton = row.child("removeButton");
        QVERIFY(removeButton->width() >= 24 && removeButton->height() >= 24);
        QVERIFY(removeButton->property("contentItem").value<QQuickItem *>()->implicitHeight() >= 16);
        row.click("revealButton");
        QCOMPARE(m_revealed, QList<QUrl>{folder});

        row.root->setProperty("filesInEstimate", 0);
        row.root->setProperty("tokensInEstimate", 0);
        QCOMPARE(row.child("itemCountText")->property("text").toString(), QStringLiteral("nothing packed"));
    }

    // Every option of the table has its control in the panel, named after
    // its key, with its label for assistive technology.
    void everyOptionIsInThePanel()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath("options.ini"), QSettings::IniFormat);
        BundleOptions options(&store);
        Scene panel("SettingsView { height: 1400 }", {{"options", QVariant::fromValue<QObject *>(&options)}}, {400, 1500});
        for (const OptionSpec &option : OptionTable::all()) {
            const char *suffix = option.kind == OptionSpec::Kind::Switch   ? "Switch"
                                 : option.kind == OptionSpec::Kind::Choice ? "Picker"
                                 : option.kind == OptionSpec::Kind::Text   ? "Field"
                                                                           : "Area";
            QQuickItem *control = panel.child((option.keyText() + QLatin1String(suffix)).toLatin1().constData());
            QVERIFY2(control->isVisible() && control->width() > 0, option.key);
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QCOMPARE(accessible->text(QAccessible::Name), QString::fromUtf8(option.label));
        }
        // A text option writes as it is typed.
        QQuickItem *header = panel.child("headerTextField");
        header->forceActiveFocus();
        QTest::keyClick(&panel.window, Qt::Key_H);
        QTest::keyClick(&panel.window, Qt::Key_I);
        QCOMPARE(store.value("headerText").toString(), QStringLiteral("hi"));
    }

    // The panel writes each change at once and shows what others write;
    // every control works from the keyboard.
    void settingsWorkFromTheKeyboard()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath("options.ini"), QSettings::IniFormat);
        BundleOptions options(&store);
        Scene panel("SettingsView { height: 1100 }", {{"options", QVariant::fromValue<QObject *>(&options)}}, {400, 1200});
        QVERIFY(store.allKeys().isEmpty()); // opening the panel writes nothing
        const auto ringShown = [&](const char *name) {
            const QList<QQuickItem *> children = panel.child(name)->childItems();
            return std::any_of(children.begin(), children.end(), [](QQuickItem *child) {
                return QString::fromLatin1(child->metaObject()->className()).startsWith("FocusRing") && child->isVisible();
            });
        };
        // Return opens the format list, the arrows move in it, Return chooses.
        QTest::keyClick(&panel.window, Qt::Key_Tab);
        QQuickItem *picker = panel.child("stylePicker");
        QVERIFY(picker->hasActiveFocus());
        QVERIFY(ringShown("stylePicker"));
        QTest::keyClick(&panel.window, Qt::Key_Return);
        QObject *list = picker->property("popup").value<QObject *>();
        QTRY_VERIFY(list->property("opened").toBool());
        QTest::keyClick(&panel.window, Qt::Key_Down);
        QTest::keyClick(&panel.window, Qt::Key_Down);
        QTest::keyClick(&panel.window, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_VERIFY(!list->property("visible").toBool());
        QCOMPARE(store.value("style").toString(), QStringLiteral("markdown"));
        options.setValue(QStringLiteral("style"), QStringLiteral("xml")); // written elsewhere, shown here
        QCOMPARE(picker->property("currentText").toString(), QStringLiteral("XML"));

        // Return and the keypad's Enter toggle a switch (past the part size's picker).
        QTest::keyClick(&panel.window, Qt::Key_Tab);
        QVERIFY(panel.child("splitOutputPicker")->hasActiveFocus());
        QTest::keyClick(&panel.window, Qt::Key_Tab);
        QVERIFY(panel.child("addSummarySwitch")->hasActiveFocus());
        QTest::keyClick(&panel.window, Qt::Key_Return);
        QCOMPARE(store.value("addSummary"), QVariant(false));
        QTest::keyClick(&panel.window, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(store.value("addSummary"), QVariant(true));

        // Backwards to the last control, the reset button: Return resets, and the controls follow.
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&panel.window, Qt::Key_Backtab);
        QVERIFY(panel.child("resetButton")->hasActiveFocus());
        QVERIFY(ringShown("resetButton"));
        QTest::keyClick(&panel.window, Qt::Key_Return);
        QCOMPARE(options.values(), OptionValues{});
        QCOMPARE(picker->property("currentText").toString(), QStringLiteral("Plain Text"));
        QVERIFY(panel.child("addSummarySwitch")->property("checked").toBool());

        // A click writes at once and gives the focus without a ring.
        panel.click("removeEmptyLinesSwitch");
        QCOMPARE(store.value("removeEmptyLines"), QVariant(true));
        QVERIFY(panel.child("removeEmptyLinesSwitch")->hasActiveFocus());
        QVERIFY(!ringShown("removeEmptyLinesSwitch"));
    }
};

QTEST_MAIN(UiViewsTest)
#include "tst_ui_views.moc"
