#include "RevealPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

void platformRevealInFileManager(const QString &localPath)
{
    // Two arguments, so that a path with spaces is quoted on its own.
    QProcess::startDetached(QStringLiteral("explorer.exe"),
                            {QStringLiteral("/select,"), QDir::toNativeSeparators(localPath)});
}

QString platformRevealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in Explorer");
}
