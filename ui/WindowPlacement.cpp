#include "WindowPlacement.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace {
// The font the design was drawn for: 11 points on a 96 dpi screen.
constexpr qreal designPixels = 11.0 * 96.0 / 72.0;

QScreen *screenOf(QWindow *window)
{
    return window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}
} // namespace

QPoint centredPosition(const QRect &available, const QSize &size)
{
    return {available.x() + std::max(0, (available.width() - size.width()) / 2),
            available.y() + std::max(0, (available.height() - size.height()) / 2)};
}

qreal fontScale(qreal pointSize, qreal logicalDpi)
{
    if (pointSize <= 0 || logicalDpi <= 0)
        return 1;
    return std::max<qreal>(1, pointSize * logicalDpi / 72.0 / designPixels);
}

QSize scaledSize(const QSize &design, qreal scale, const QSize &available)
{
    QSize size(int(std::ceil(design.width() * scale)), int(std::ceil(design.height() * scale)));
    if (!available.isEmpty())
        size = size.boundedTo(available);
    return size;
}

WindowPlacement::WindowPlacement(QObject *parent)
    : QObject(parent)
{
    update();
    qGuiApp->installEventFilter(this); // the application's font changes
    if (QScreen *screen = QGuiApplication::primaryScreen())
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, &WindowPlacement::update);
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qGuiApp && event->type() == QEvent::ApplicationFontChange)
        update();
    return QObject::eventFilter(watched, event);
}

void WindowPlacement::update()
{
    const QFont font = QGuiApplication::font();
    QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96;
    // A font given in pixels is that large whatever the screen.
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / dpi;
    if (!qFuzzyCompare(points, m_fontPoints)) {
        m_fontPoints = points;
        emit fontPointsChanged();
    }
    const qreal scale = fontScale(points, dpi);
    if (qFuzzyCompare(scale, m_scale))
        return;
    m_scale = scale;
    emit scaleChanged();
}

QPoint WindowPlacement::centred(QWindow *window, int width, int height) const
{
    QScreen *screen = screenOf(window);
    if (!screen)
        return {};
    return centredPosition(screen->availableGeometry(), QSize(width, height));
}

QSize WindowPlacement::fitted(QWindow *window, int width, int height, qreal scale) const
{
    QScreen *screen = screenOf(window);
    return scaledSize(QSize(width, height), scale, screen ? screen->availableGeometry().size() : QSize());
}
