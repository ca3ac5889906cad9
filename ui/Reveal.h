#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>

// Asks the platform's file manager to show a local file or folder selected.
// Returns at once; `failed` runs later when no file manager could be asked.
// Locations that are not local files are ignored.
void revealInFileManager(const QUrl &location, std::function<void()> failed = {});

// Replaces what revealInFileManager does with a local location (tests use it
// so that no file manager starts). An empty handler restores the platform's
// own. Returns the handler that was in place.
using RevealHandler = std::function<void(const QUrl &)>;
RevealHandler setRevealHandler(RevealHandler handler);

// The label of the action that reveals an item, named after the platform's
// file manager.
QString revealActionText();

// Reveal for the views; when no file manager could be asked, revealFailed
// lets the window say so.
class FileManager : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString revealText READ revealText CONSTANT)

public:
    using QObject::QObject;

    QString revealText() const { return revealActionText(); }
    Q_INVOKABLE void reveal(const QUrl &location);

signals:
    void revealFailed(const QUrl &location);
};
