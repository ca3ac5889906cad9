#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Hands on the files and folders the system asks the application to open
// (an "Open With" choice, a second launch, an open event), and asks for the
// window to come forward.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Reports the URLs with openRequested on the next turn of the event loop
    // (the selection keeps one of each), and asks for the window.
    void openUrls(const QList<QUrl> &urls);

    // Paths or URLs as a command line (after its options) or a second launch gives them.
    static QList<QUrl> urlsFromArguments(const QStringList &arguments);

signals:
    // A request to open these URLs (all of them, also ones seen before).
    void openRequested(const QList<QUrl> &urls);
    // The window should be shown and brought to the front.
    void activateRequested();
};
