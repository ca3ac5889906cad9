#include "PackerLocation.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const PackerLocation &PackerLocation::bundled()
{
    static const PackerLocation location = [] {
        const QDir app(QCoreApplication::applicationDirPath());
        const QString runtime = app.filePath(QString::fromUtf8(buildconfig::runtimePath));
        const QString resources = app.filePath(QString::fromUtf8(buildconfig::resourcePath));
        return PackerLocation{QDir::cleanPath(runtime),
                              QDir::cleanPath(resources) + QStringLiteral("/repomix/bin/repomix.cjs")};
    }();
    return location;
}

QString PackerLocation::packerDirectory() const
{
    return QDir::cleanPath(QFileInfo(script).absolutePath() + QStringLiteral("/.."));
}
