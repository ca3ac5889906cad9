#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// A count in the decimal style of the current locale, with its grouping
// separators ("1,234,567" in English). Falls back to the plain digits when
// the locale yields nothing.
QString formatNumber(qint64 value);

// The last path component of a location, as the user knows it: the name of a
// file, or of a folder also when the URL ends in a slash.
QString displayName(const QUrl &location);

// Text helpers for the views.
class Format : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE QString number(qint64 value) const { return formatNumber(value); }
    Q_INVOKABLE QString fileName(const QUrl &location) const { return displayName(location); }
};
