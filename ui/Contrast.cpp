#include "Contrast.h"

#include <cmath>

namespace contrast {

namespace {
qreal linear(qreal channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// Rounded to whole 8-bit channels, as the colour is drawn.
QColor blend(const QColor &from, const QColor &to, qreal amount)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    const auto channel = [amount](int x, int y) { return qRound(x + (y - x) * amount); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}
} // namespace

qreal luminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

qreal ratio(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor over(const QColor &color, const QColor &background)
{
    return blend(background, color, color.alphaF());
}

QColor readable(const QColor &color, const QColor &background, qreal minimum)
{
    const QColor bg = over(background, Qt::white);
    const QColor fg = over(color, bg);
    if (ratio(fg, bg) >= minimum)
        return fg;
    // Away from the background: towards black on a light one, white on a dark one.
    const QColor pole = ratio(Qt::black, bg) >= ratio(Qt::white, bg) ? QColor(Qt::black) : QColor(Qt::white);
    if (ratio(pole, bg) < minimum)
        return pole; // nothing reaches it; the pole comes closest
    // The smallest step towards the pole that reaches the minimum, in whole
    // 8-bit steps of the channel that moves most.
    int low = 0;
    int high = 255;
    const auto at = [&](int step) { return blend(fg, pole, step / 255.0); };
    while (high - low > 1) {
        const int mid = (low + high) / 2;
        (ratio(at(mid), bg) >= minimum ? high : low) = mid;
    }
    return at(high);
}

} // namespace contrast

QColor Contrast::muted(const QColor &color, const QColor &background, qreal alpha, qreal minimum) const
{
    QColor faded = color.toRgb();
    faded.setAlphaF(float(alpha * faded.alphaF()));
    return contrast::readable(faded, background, minimum);
}
