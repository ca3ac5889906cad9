#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

// Where a window of `size` stands centred in `available`, a screen's available
// geometry in the coordinates of the whole desktop (so a second screen's
// origin counts). A window larger than the area starts at its left and top
// edge, so that its top, with the menus, stays on the screen.
QPoint centredPosition(const QRect &available, const QSize &size);

// How much larger than its design the window is drawn for a system font of
// `pointSize` on a screen of `logicalDpi`: the font's size on screen against
// the design's font (11 points at 96 dots per inch), never less than 1.
qreal fontScale(qreal pointSize, qreal logicalDpi);

// `design` scaled by `scale`, rounded up, and no larger than `available`
// (an empty `available` limits nothing).
QSize scaledSize(const QSize &design, qreal scale, const QSize &available);

// Size and placement for the main window, which grows with the system font.
class WindowPlacement : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // fontScale() for the application font on the primary screen.
    Q_PROPERTY(qreal scale READ scale NOTIFY scaleChanged)
    // The application font's size in points (a font given in pixels, converted).
    Q_PROPERTY(qreal fontPoints READ fontPoints NOTIFY fontPointsChanged)

public:
    explicit WindowPlacement(QObject *parent = nullptr);

    qreal scale() const { return m_scale; }
    qreal fontPoints() const { return m_fontPoints; }

    // The position that centres a window of `width` x `height` in the
    // available area of `window`'s screen (the primary screen without one).
    Q_INVOKABLE QPoint centred(QWindow *window, int width, int height) const;
    // A design size of `width` x `height` grown by `scale`, within the
    // available area of `window`'s screen.
    Q_INVOKABLE QSize fitted(QWindow *window, int width, int height, qreal scale) const;

signals:
    void scaleChanged();
    void fontPointsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();

    qreal m_scale = 1;
    qreal m_fontPoints = 0;
};
