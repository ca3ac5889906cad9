#include "Desktop.h"

#import <AppKit/AppKit.h>

#include <QCoreApplication>
#include <QProcess>

namespace platform {

void revealInFileManager(const QString &localPath)
{
    QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-R"), localPath});
}

QString revealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in Finder");
}

void hideApplication()
{
    [NSApp hide:nil];
}

} // namespace platform
