#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class QLocalServer;

// Keeps one running copy of the application per user. A second launch hands
// its files to the running copy, which brings its window back, and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `name` identifies the application for this user; tests pass their own.
    explicit SingleInstance(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Sends `urls` to a running copy; true when one took them.
    bool forwardToRunning(const QList<QUrl> &urls) const;
    // Starts answering later launches; false when that is impossible.
    bool listen();

    // A name private to the current user: a socket inside the user's private folder.
    static QString defaultName();

signals:
    // A later launch, with the files it was given (possibly none).
    void activated(const QList<QUrl> &urls);

private:
    void readRequest();

    QString m_name;
    QLocalServer *m_server = nullptr;
};
