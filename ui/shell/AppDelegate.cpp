#include "AppDelegate.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

void AppDelegate::openUrls(const QList<QUrl> &urls)
{
    QTimer::singleShot(0, this, [this, urls] {
        if (!urls.isEmpty())
            emit openRequested(urls);
        emit activateRequested();
    });
}

QList<QUrl> AppDelegate::urlsFromArguments(const QStringList &arguments)
{
    QList<QUrl> urls;
    for (const QString &argument : arguments) {
        const QUrl url(argument, QUrl::StrictMode);
        if (url.isLocalFile())
            urls << url;
        else if (url.scheme().size() > 1)
            continue; // not a file (a one-letter scheme is a Windows drive)
        else if (!argument.isEmpty())
            urls << QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath());
    }
    return urls;
}
