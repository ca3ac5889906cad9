#include "RevealPlatform.h"

#include <QCoreApplication>
#include <QProcess>

void platformRevealInFileManager(const QString &localPath)
{
    QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-R"), localPath});
}

QString platformRevealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in Finder");
}
