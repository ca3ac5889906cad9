#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The app's symbols, drawn with the icon font shipped in the module's
// resources (Material Icons). Symbols are named as the views know them
// ("gear", "folder.fill", ...); each maps to one glyph of the font.
class Icons : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

public:
    explicit Icons(QObject *parent = nullptr);

    // The family of the icon font, loaded into the application on first use;
    // empty if the font could not be loaded.
    static QString iconFontFamily();
    // The glyph of a symbol, or an empty text for a symbol we do not know.
    static QString glyphFor(const QString &symbol);
    // Resource path of the font file.
    static QString fontPath();

    QString fontFamily() const { return iconFontFamily(); }
    Q_INVOKABLE QString glyph(const QString &symbol) const { return glyphFor(symbol); }
};
