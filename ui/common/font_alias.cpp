#include "ui/common/font_alias.h"

#include <cstdlib>

#include <QDir>
#include <QFileInfo>
#include <QString>

const char* const kFontAliasFileName = "kuvandoro-fonts.conf";

QString InstallFontAlias(const QString& appDir) {
    if (const char* set = std::getenv("FONTCONFIG_FILE"); set != nullptr && *set != '\0') {
        return QString();
    }
    QStringList candidates;
    if (!appDir.isEmpty()) {
        candidates << QDir(appDir).filePath(QString::fromLatin1(kFontAliasFileName));
#ifdef KUV_FONTS_CONF_FROM_BIN
        // A package puts it in its own data folder; found from the program's
        // place, an unpacked copy of the package finds its own.
        candidates << QDir(appDir).filePath(QString::fromUtf8(KUV_FONTS_CONF_FROM_BIN "/") +
                                            QString::fromLatin1(kFontAliasFileName));
#endif
    }
#ifdef KUV_FONTS_CONF_SOURCE
    // A program run from the build tree (tests, developers) finds the copy in
    // the sources when the build folder holds none.
    candidates << QString::fromUtf8(KUV_FONTS_CONF_SOURCE);
#endif
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable()) {
            const QString absolute = info.absoluteFilePath();
            ::setenv("FONTCONFIG_FILE", absolute.toLocal8Bit().constData(), 1);
            return absolute;
        }
    }
    return QString();
}
