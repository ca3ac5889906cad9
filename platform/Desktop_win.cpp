#include "Desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

namespace platform {

void revealInFileManager(const QString &localPath)
{
    // Two arguments, so that a path with spaces is quoted on its own.
    QProcess::startDetached(QStringLiteral("explorer.exe"),
                            {QStringLiteral("/select,"), QDir::toNativeSeparators(localPath)});
}

QString revealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in Explorer");
}

void hideApplication()
{
}

void watchApplicationEvents(QObject *, std::function<void(const QList<QUrl> &)>, std::function<void()>)
{
}

} // namespace platform
