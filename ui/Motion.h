#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

// Whether the views may animate for decoration: not when the desktop asks
// for reduced motion (GNOME's and GTK's "enable animations", KDE's animation
// speed, the macOS and Windows accessibility settings).
class Motion : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool reduced READ reduced NOTIFY reducedChanged)

public:
    explicit Motion(QObject *parent = nullptr);

    bool reduced() const { return m_reduced; }

signals:
    void reducedChanged();

private:
    bool m_reduced = false;
};
