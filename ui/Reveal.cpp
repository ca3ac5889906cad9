#include "Reveal.h"
#include "Desktop.h"

namespace {
RevealHandler &currentHandler()
{
    static RevealHandler handler;
    return handler;
}
} // namespace

void revealInFileManager(const QUrl &location)
{
    if (!location.isLocalFile())
        return;
    if (const RevealHandler &handler = currentHandler()) {
        handler(location);
        return;
    }
    platform::revealInFileManager(location.toLocalFile());
}

RevealHandler setRevealHandler(RevealHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

QString revealActionText()
{
    return platform::revealActionText();
}
