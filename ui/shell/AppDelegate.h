#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Collects the files and folders the system asks the application to open
// (an "Open With" choice, a second launch, an open event), without
// duplicates, and asks for the window to come forward.
class AppDelegate : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QUrl> files READ files NOTIFY filesChanged)

public:
    using QObject::QObject;

    QList<QUrl> files() const { return m_files; }

    // Adds the URLs on the next turn of the event loop, each unless an equal
    // one is there, then reports the request with openRequested.
    void openUrls(const QList<QUrl> &urls);

    // Paths or URLs as a command line (after its options) or a second launch gives them.
    static QList<QUrl> urlsFromArguments(const QStringList &arguments);

signals:
    void filesChanged();
    // A request to open these URLs (all of them, also ones seen before).
    void openRequested(const QList<QUrl> &urls);
    // The window should be shown and brought to the front.
    void activateRequested();

private:
    QList<QUrl> m_files;
};
