#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

QPoint centredPosition(const QRect &available, const QSize &size)
{
    return {available.x() + std::max(0, (available.width() - size.width()) / 2),
            available.y() + std::max(0, (available.height() - size.height()) / 2)};
}

QPoint WindowPlacement::centred(QWindow *window, int width, int height) const
{
    QScreen *screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return centredPosition(screen->availableGeometry(), QSize(width, height));
}
