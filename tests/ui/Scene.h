#pragma once

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <memory>

// `qml`, with Lumbrel imported, shown in a window of its own.
struct Scene
{
    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<QQuickItem> root;

    explicit Scene(const QString &qml, const QVariantMap &properties = {}, QSize size = {400, 500})
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&engine);
        component.setData(("import QtQuick\nimport Lumbrel\n" + qml).toUtf8(), QUrl("qrc:/test/View.qml"));
        root.reset(qobject_cast<QQuickItem *>(component.createWithInitialProperties(properties)));
        if (!root)
            qFatal("%s", qPrintable(component.errorString()));
        window.resize(size);
        root->setParentItem(window.contentItem());
        window.show();
        window.requestActivate();
        if (!QTest::qWaitForWindowActive(&window))
            qFatal("the test window did not become active");
    }
    // The item named `name`, also among the items a Repeater made.
    QQuickItem *child(const char *name) const
    {
        if (auto *item = root->findChild<QQuickItem *>(QLatin1String(name)))
            return item;
        QList<QQuickItem *> items{root.get()};
        while (!items.isEmpty()) {
            QQuickItem *item = items.takeFirst();
            if (item->objectName() == QLatin1String(name))
                return item;
            items += item->childItems();
        }
        qFatal("no item named %s", name);
    }
    void click(const char *name)
    {
        QQuickItem *item = child(name);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }
};
