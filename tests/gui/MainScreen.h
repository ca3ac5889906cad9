#pragma once

#include "BundleOptions.h"
#include "ContentView.h"
#include "TestFiles.h"

#include <QMimeData>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtQuickControls2/QQuickStyle>
#include <QtQuickTest/quicktest.h>

#include <functional>
#include <memory>

// The main screen as the application shows it: the QML ContentView in a
// 400 x 500 window, driven by a real C++ ContentView running `packer`, with
// its options in a private settings file and a private directory as home.
class MainScreen
{
public:
    explicit MainScreen(PackerLocation packer)
        : store(dir.filePath(QStringLiteral("options.ini")), QSettings::IniFormat)
        , options(&store)
        , view(&options, std::move(packer))
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        if (QQuickStyle::name() != QLatin1String("Fusion")) // as the application does; once per process
            QQuickStyle::setStyle(QStringLiteral("Fusion"));
        // The save dialog proposes a file in the home; the tests' files live there too.
        qputenv("HOME", QFile::encodeName(dir.path()));
        engine.addImportPath(QStringLiteral("qrc:/"));
        window.resize(400, 500);
        QQmlComponent component(&engine);
        component.setData("import Lumbrel\nContentView {}", QUrl(QStringLiteral("qrc:/test/Screen.qml")));
        // In the window before it completes, as in the application: the save
        // dialog looks for its window then.
        root.reset(qobject_cast<QQuickItem *>(component.beginCreate(engine.rootContext())));
        if (!root)
            qFatal("%s", qPrintable(component.errorString()));
        component.setInitialProperties(root.get(), {{"view", QVariant::fromValue<QObject *>(&view)}});
        root->setParentItem(window.contentItem());
        component.completeCreate();
        root->setSize(window.size());
        window.show();
        window.requestActivate();
        root->forceActiveFocus();
    }

    bool ready() { return QTest::qWaitForWindowActive(&window); }

    QUrl url(const QString &path) const { return QUrl::fromLocalFile(dir.filePath(path)); }

    // Creates `paths` in the private directory, each with a line of text.
    QList<QUrl> fixture(const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &path : paths) {
            writeFile(dir.filePath(path).toStdString(), "int answer = 42; // " + path.toStdString() + "\n");
            urls << url(path);
        }
        return urls;
    }

    // The items below `from` (the whole window by default) that match, found
    // through the visual tree, so list delegates and popup contents count too.
    QList<QQuickItem *> findAll(const std::function<bool(QQuickItem *)> &matches, QQuickItem *from = nullptr) const
    {
        QList<QQuickItem *> found;
        for (QQuickItem *child : (from ? from : window.contentItem())->childItems()) {
            if (matches(child))
                found << child;
            found << findAll(matches, child);
        }
        return found;
    }

    // The first item named `name` below `from`, null when there is none.
    QQuickItem *item(const char *name, QQuickItem *from = nullptr) const
    {
        return findAll([name](QQuickItem *item) { return item->objectName() == QLatin1String(name); }, from).value(0);
    }

    // Shown means visible all the way up to the window and not faded out.
    static bool shown(QQuickItem *item) { return item && item->isVisible() && item->opacity() > 0; }
    bool shown(const char *name) const { return shown(item(name)); }

    // The item of a popup or dialog, which lives in the window's overlay.
    QQuickItem *popupItem(const char *name) const
    {
        return root->findChild<QObject *>(QLatin1String(name))->property("contentItem").value<QQuickItem *>()->parentItem();
    }

    // Clicks the centre of `target` once the layout has settled.
    void click(QQuickItem *target)
    {
        QVERIFY(target);
        QVERIFY(QQuickTest::qWaitForPolish(&window));
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, target->mapToScene(target->boundingRect().center()).toPoint());
    }

    // Drags `urls` onto the drop area and drops them there, as the desktop does.
    void drop(const QList<QUrl> &urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QQuickItem *area = item("dropArea");
        const QPoint at = area->mapToScene(area->boundingRect().center()).toPoint();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &dropped);
        QVERIFY(dropped.isAccepted());
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    }

    // Answers the open save dialog with the keyboard: the proposed file, or,
    // given `name`, as someone who types that name; Return saves.
    void save(const QString &name = {})
    {
        auto *dialog = root->findChild<QObject *>(QStringLiteral("saveDialog"));
        QTRY_VERIFY(dialog->property("visible").toBool());
        QQuickItem *overlay = window.contentItem()->childItems().constLast();
        QQuickItem *field = item("fileNameTextField", overlay);
        QTRY_VERIFY(field && field->hasActiveFocus()); // the name field has the focus
        if (!name.isEmpty()) {
            QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
            type(name);
        }
        QTest::keyClick(&window, Qt::Key_Return);
        QTRY_VERIFY(!dialog->property("visible").toBool());
    }

    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(&window, c.toLatin1());
    }

    QTemporaryDir dir;
    QSettings store;
    BundleOptions options;
    ContentView view;
    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<QQuickItem> root; // last: the items go before the view they show
};
