#include "Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

#include <windows.h>

namespace platform {

void revealInFileManager(const QString &localPath, std::function<void()> failed)
{
    // Two arguments, so that a path with spaces is quoted on its own.
    if (!QProcess::startDetached(QStringLiteral("explorer.exe"),
                                 {QStringLiteral("/select,"), QDir::toNativeSeparators(localPath)})
        && failed)
        failed();
}

QString revealActionText()
{
    return QCoreApplication::translate("Reveal", "Show in Explorer");
}

bool closeHidesApplication()
{
    return false;
}

void hideApplication()
{
}

// The shell refuses a link no program is registered for.
void openMailLink(const QUrl &link, std::function<void(bool opened)> done)
{
    done(QDesktopServices::openUrl(link));
}

// "Show animations in Windows" (Settings, Accessibility, Visual effects).
void watchReducedMotion(QObject *, std::function<void(bool reduced)> changed)
{
    BOOL animations = TRUE;
    if (SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animations, 0))
        changed(!animations);
    else
        changed(false);
}

void watchApplicationEvents(QObject *, std::function<void(const QList<QUrl> &)>, std::function<void()>)
{
}

} // namespace platform
