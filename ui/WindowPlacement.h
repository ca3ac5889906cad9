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

// Placement for the main window.
class WindowPlacement : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // The position that centres a window of `width` x `height` in the
    // available area of `window`'s screen (the primary screen without one).
    Q_INVOKABLE QPoint centred(QWindow *window, int width, int height) const;
};
