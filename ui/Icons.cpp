#include "Icons.h"

#include <QFontDatabase>
#include <QHash>

namespace {
// Symbol name -> code point in Material Icons (its name in the font's
// codepoints list in the comment).
const QHash<QString, char16_t> &glyphTable()
{
    static const QHash<QString, char16_t> table{
        {QStringLiteral("gear"), 0xe8b8},                // settings
        {QStringLiteral("doc.on.doc"), 0xe173},          // file_copy
        {QStringLiteral("checkmark.seal.fill"), 0xef76}, // verified
        {QStringLiteral("folder.fill"), 0xe2c7},         // folder
        {QStringLiteral("doc.fill"), 0xe24d},            // insert_drive_file
        {QStringLiteral("magnifyingglass"), 0xe8b6},     // search
        {QStringLiteral("xmark"), 0xe5cd},               // close
        {QStringLiteral("number"), 0xe9ef},              // tag
        {QStringLiteral("textformat"), 0xe262},          // text_fields
        {QStringLiteral("chevron.right"), 0xe5cc},       // chevron_right
        {QStringLiteral("chevron.down"), 0xe5cf},        // expand_more
        {QStringLiteral("chevron.left"), 0xe5cb},        // chevron_left
        {QStringLiteral("checkmark"), 0xe5ca},           // check
        {QStringLiteral("minus"), 0xe15b},               // remove
    };
    return table;
}
} // namespace

Icons::Icons(QObject *parent)
    : QObject(parent)
{
}

QString Icons::fontPath()
{
    return QStringLiteral(":/Lumbrel/fonts/MaterialIcons-Regular.ttf");
}

QString Icons::iconFontFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(fontPath());
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

QString Icons::glyphFor(const QString &symbol)
{
    const auto it = glyphTable().constFind(symbol);
    return it == glyphTable().cend() ? QString() : QString(QChar(*it));
}
