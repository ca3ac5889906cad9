#include "Reveal.h"
#include "RevealPlatform.h"

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
    platformRevealInFileManager(location.toLocalFile());
}

RevealHandler setRevealHandler(RevealHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

QString revealActionText()
{
    return platformRevealActionText();
}
