#include "Desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
void openParentFolder(const QString &localPath)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(localPath).absolutePath()));
}
} // namespace

namespace platform {

// Uses the file manager service of freedesktop.org desktops; where there is no
// session bus or no such service, opens the enclosing folder instead.
void revealInFileManager(const QString &localPath)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openParentFolder(localPath);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(localPath).toString(QUrl::FullyEncoded)} << QString();

    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [localPath](QDBusPendingCallWatcher *done) {
                         const QDBusError error = done->error();
                         // A late answer may still mean the window is on its way;
                         // a second window for the same request would be worse.
                         if (done->isError() && error.type() != QDBusError::NoReply
                             && error.type() != QDBusError::Timeout)
                             openParentFolder(localPath);
                         done->deleteLater();
                     });
}

QString revealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in File Manager");
}

void hideApplication()
{
}

} // namespace platform
