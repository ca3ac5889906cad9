#pragma once

#include <QClipboard>
#include <QGuiApplication>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Puts a short text (an address, a path) on the clipboard for the views.
class Clipboard : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE void setText(const QString &text) const { QGuiApplication::clipboard()->setText(text); }
};
