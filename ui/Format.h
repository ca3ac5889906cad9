#pragma once

#include "CountText.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The last path component of a location, as the user knows it: the name of a
// file, or of a folder also when the URL ends in a slash.
QString displayName(const QUrl &location);

// The local path of a location, with the platform's separators; other
// locations as the URL reads.
QString displayPath(const QUrl &location);

// The file manager's reveal action named for one item: "Show notes.md in
// File Manager" for the action "Show in File Manager".
QString revealItemText(const QString &action, const QString &name);

// The second line of a row of the list: what the latest estimate packed of
// the entry (`packedFiles` and `packedTokens`, -1 while unknown) and, for a
// folder, how many files were found in it (`found`, -1 while counting):
// "213 files, 3,456 tokens" when they agree, "12 files packed of 213 found,
// 3,456 tokens" when they do not, "nothing packed" when nothing was.
QString rowDetailText(bool isFolder, qint64 found, qint64 packedFiles, qint64 packedTokens);

// A shortcut as the platform writes it in menus ("Ctrl+Shift+O"); `shortcut`
// is what an Action holds: a key sequence's text or a standard key.
QString shortcutText(const QVariant &shortcut);

// Text helpers for the views.
class Format : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE QString number(qint64 value) const { return formatNumber(value); }
    Q_INVOKABLE QString count(qint64 value, const QString &singular, const QString &plural) const
    {
        return formatCount(value, singular, plural);
    }
    Q_INVOKABLE QString fileName(const QUrl &location) const { return displayName(location); }
    Q_INVOKABLE QString path(const QUrl &location) const { return displayPath(location); }
    Q_INVOKABLE QString revealItem(const QString &name) const;
    Q_INVOKABLE QString contextFit(qint64 tokens, const QString &limit) const { return contextFitLabel(tokens, limit); }
    Q_INVOKABLE QString contextFitDetail(qint64 tokens, const QString &limit) const { return ::contextFitDetail(tokens, limit); }
    Q_INVOKABLE bool contextOver(qint64 tokens, const QString &limit) const { return contextOverLimit(tokens, limit); }
    Q_INVOKABLE QString rowDetail(bool isFolder, qint64 found, qint64 packedFiles, qint64 packedTokens) const
    {
        return rowDetailText(isFolder, found, packedFiles, packedTokens);
    }
    Q_INVOKABLE QString shortcut(const QVariant &shortcut) const { return shortcutText(shortcut); }
};
