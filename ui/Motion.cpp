#include "Motion.h"

#include "Desktop.h"

Motion::Motion(QObject *parent)
    : QObject(parent)
{
    platform::watchReducedMotion(this, [this](bool reduced) {
        if (std::exchange(m_reduced, reduced) != reduced)
            emit reducedChanged();
    });
}
