#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// Legibility of colours by the WCAG 2 measures: the relative luminance of a
// colour and the contrast ratio of two (1:1 to 21:1). Normal text wants 4.5:1
// against its background, large text and symbols 3:1.
namespace contrast {

constexpr qreal textRatio = 4.5;
constexpr qreal largeRatio = 3.0;

// Relative luminance of an opaque sRGB colour, 0 (black) to 1 (white).
qreal luminance(const QColor &color);
// The ratio of the lighter colour's luminance to the darker one's, each plus 0.05.
qreal ratio(const QColor &a, const QColor &b);
// `color` composited over `background`: what a half-transparent colour shows.
QColor over(const QColor &color, const QColor &background);
// `color` itself when it reaches `minimum` against `background`, else the
// nearest blend of it towards black or white (whichever side contrasts more
// with the background) that does. Transparency is flattened first.
QColor readable(const QColor &color, const QColor &background, qreal minimum);

} // namespace contrast

// The same for the views, which pick their shades through Theme.
class Contrast : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE qreal ratio(const QColor &a, const QColor &b) const { return contrast::ratio(a, b); }
    Q_INVOKABLE QColor readable(const QColor &color, const QColor &background, qreal minimum) const
    {
        return contrast::readable(color, background, minimum);
    }
    Q_INVOKABLE QColor over(const QColor &color, const QColor &background) const
    {
        return contrast::over(color, background);
    }
    // `color` at `alpha`, flattened over `background`, kept readable at `minimum`.
    Q_INVOKABLE QColor muted(const QColor &color, const QColor &background, qreal alpha, qreal minimum) const;
};
