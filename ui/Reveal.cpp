#include "Reveal.h"
#include "Desktop.h"

#include <QPointer>

namespace {
RevealHandler &currentHandler()
{
    static RevealHandler handler;
    return handler;
}
} // namespace

void revealInFileManager(const QUrl &location, std::function<void()> failed)
{
    if (!location.isLocalFile())
        return;
    if (const RevealHandler &handler = currentHandler()) {
        handler(location);
        return;
    }
    platform::revealInFileManager(location.toLocalFile(), std::move(failed));
}

RevealHandler setRevealHandler(RevealHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

QString revealActionText()
{
    return platform::revealActionText();
}

void FileManager::reveal(const QUrl &location)
{
    revealInFileManager(location, [self = QPointer<FileManager>(this), location] {
        if (self)
            emit self->revealFailed(location);
    });
}
