#pragma once

#include "BundleOptions.h"
#include "ContentView.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <memory>

// The main screen as the application shows it: the QML ContentView in a
// 400 x 500 window, driven by a real C++ ContentView whose options live in a
// private settings file. A test picks the packer the view runs.
class MainScreen
{
public:
    static void setUpStyle()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QQuickStyle::setStyle(QStringLiteral("Fusion")); // as the application does
    }

    explicit MainScreen(PackerLocation packer)
        : store(dir.filePath(QStringLiteral("options.ini")), QSettings::IniFormat)
        , options(&store)
        , view(&options, std::move(packer))
    {
        // A private home: the save dialog proposes a file in it.
        m_home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(dir.path()));
        engine.addImportPath(QStringLiteral("qrc:/"));
        window.resize(400, 500);
        QQmlComponent component(&engine);
        component.setData("import Lumbrel\nContentView {}", QUrl(QStringLiteral("qrc:/test/Screen.qml")));
        // In the window before it completes, as in the application: the save
        // dialog looks for its window then.
        QObject *object = component.beginCreate(engine.rootContext());
        root.reset(qobject_cast<QQuickItem *>(object));
        if (!root) {
            qWarning() << component.errors();
            delete object;
            return;
        }
        component.setInitialProperties(object, {{"view", QVariant::fromValue<QObject *>(&view)}});
        root->setParentItem(window.contentItem());
        component.completeCreate();
        root->setSize(window.size());
        window.show();
        window.requestActivate();
    }

    ~MainScreen()
    {
        root.reset(); // the items go before the view they show
        qputenv("HOME", m_home);
    }

    bool ready() { return root && QTest::qWaitForWindowActive(&window); }

    // A folder of this screen's private directory holding `files` (relative
    // paths, created with a line of text each); returns its URL.
    QUrl fixture(const QString &name, const QStringList &files)
    {
        const QDir base(dir.filePath(name));
        for (const QString &file : files) {
            base.mkpath(QFileInfo(base.filePath(file)).path());
            QFile out(base.filePath(file));
            if (out.open(QIODevice::WriteOnly))
                out.write("int answer = 42; // " + file.toUtf8() + "\n");
        }
        return QUrl::fromLocalFile(base.path());
    }

    // The item named `name` below `from` (the root by default), found through
    // the visual tree, so that list delegates and popup contents are found too.
    QQuickItem *item(const char *name, QQuickItem *from = nullptr) const
    {
        QQuickItem *start = from ? from : window.contentItem();
        if (QQuickItem *found = search(start, QLatin1String(name)))
            return found;
        qWarning("no item named %s", name);
        return nullptr;
    }

    QList<QQuickItem *> items(const char *name) const
    {
        QList<QQuickItem *> found;
        collect(window.contentItem(), [name](QQuickItem *item) { return item->objectName() == QLatin1String(name); },
                found);
        return found;
    }

    // The text shown below `from` that starts with `start` (empty when none).
    static QString shownText(QQuickItem *from, const QString &start)
    {
        QList<QQuickItem *> found;
        collect(from, [&](QQuickItem *item) { return item->isVisible() && item->property("text").toString().startsWith(start); },
                found);
        return found.isEmpty() ? QString() : found.first()->property("text").toString();
    }

    // The visible button below `from` that reads `text`.
    static QQuickItem *button(QQuickItem *from, const QString &text)
    {
        QList<QQuickItem *> found;
        collect(from,
                [&](QQuickItem *item) {
                    return item->inherits("QQuickAbstractButton") && item->isVisible()
                        && item->property("text").toString() == text;
                },
                found);
        if (found.size() != 1)
            qWarning() << found.size() << "buttons read" << text;
        return found.value(0);
    }

    // Drags `urls` onto `target` and drops them there, as the desktop does.
    void drop(QQuickItem *target, const QList<QUrl> &urls)
    {
        QVERIFY(target);
        QMimeData data;
        data.setUrls(urls);
        const QPointF at = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &move);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &dropped);
        QVERIFY(dropped.isAccepted());
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    }

    // The open save dialog; its window item lives in the overlay.
    QObject *saveDialog()
    {
        QObject *dialog = root->findChild<QObject *>(QStringLiteral("saveDialog"));
        if (!dialog || !QTest::qWaitFor([&] { return dialog->property("visible").toBool(); }))
            return nullptr;
        return dialog;
    }
    QQuickItem *overlay() const { return window.contentItem()->childItems().constLast(); }

    // Presses the save dialog's accept button, taking the proposed file.
    void acceptSaveDialog()
    {
        QObject *dialog = saveDialog();
        QVERIFY(dialog);
        click(button(overlay(), QStringLiteral("Save")));
        QTRY_VERIFY(!dialog->property("visible").toBool());
    }

    // Answers the save dialog as someone who opens the folder of `file`,
    // types its name and presses Return.
    void typeIntoSaveDialog(const QUrl &file)
    {
        QObject *dialog = saveDialog();
        QVERIFY(dialog);
        const QFileInfo target(file.toLocalFile());
        dialog->setProperty("currentFolder", QUrl::fromLocalFile(target.path()));
        QQuickItem *name = item("fileNameTextField", overlay());
        QVERIFY(name);
        click(name);
        QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : target.fileName())
            QTest::keyClick(&window, c.toLatin1());
        QTest::keyClick(&window, Qt::Key_Return);
        click(button(overlay(), QStringLiteral("Save")));
        QTRY_VERIFY(!dialog->property("visible").toBool());
    }

    // Shown means visible all the way up to the window.
    static bool shown(QQuickItem *item) { return item && item->isVisible() && item->opacity() > 0; }

    // Clicks the centre of `target` once the layout has settled.
    void click(QQuickItem *target)
    {
        QVERIFY(target);
        QVERIFY(QQuickTest::qWaitForPolish(&window));
        const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

    // The item of a popup or dialog (they live in the window's overlay).
    QQuickItem *popupItem(const char *name) const
    {
        QObject *popup = root->findChild<QObject *>(QLatin1String(name));
        auto *content = popup ? popup->property("contentItem").value<QQuickItem *>() : nullptr;
        return content ? content->parentItem() : nullptr;
    }

    QTemporaryDir dir;
    QSettings store;
    BundleOptions options;
    ContentView view;
    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<QQuickItem> root;

private:
    QByteArray m_home;

    static QQuickItem *search(QQuickItem *from, QLatin1String name)
    {
        for (QQuickItem *child : from->childItems()) {
            if (child->objectName() == name)
                return child;
            if (QQuickItem *found = search(child, name))
                return found;
        }
        return nullptr;
    }
    template<typename Predicate>
    static void collect(QQuickItem *from, const Predicate &matches, QList<QQuickItem *> &found)
    {
        for (QQuickItem *child : from->childItems()) {
            if (matches(child))
                found << child;
            collect(child, matches, found);
        }
    }
};
