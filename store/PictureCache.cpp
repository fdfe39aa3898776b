#include "PictureCache.h"

#include "Error.h"

#include <QDir>
#include <QFileInfo>

namespace kova {
namespace {

const QString folderName = QStringLiteral("kvpic");
const QString separator = QStringLiteral("/");

// The longest file name most file systems take, in bytes, less the longest suffix.
constexpr qsizetype maxProductNumberBytes = 255 - 8;

} // namespace

PictureCache::PictureCache(QString tempDir) : m_tempDir(std::move(tempDir)) {}

QString PictureCache::folder() const
{
    return m_tempDir + folderName;
}

void PictureCache::ensureFolder() const
{
    const QString path = folder();
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkdir(path) && !QFileInfo(path).isDir())
        throw Error(QStringLiteral("I/O error: cannot create the picture folder %1")
                        .arg(QDir::toNativeSeparators(path)));
}

bool PictureCache::isSafeProductNumber(const QString& cph)
{
    if (cph.isEmpty() || cph == u"." || cph == u"..")
        return false;
    for (const QChar ch : cph) {
        if (ch.unicode() < 32 || ch.unicode() == 127)
            return false;
        switch (ch.unicode()) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return false;
        default:
            break;
        }
    }
    if (cph.toUtf8().size() > maxProductNumberBytes)
        return false;
    // Belt and braces: the cleaned path must still name a file directly in the folder.
    const QString base = QDir::cleanPath(QDir(QStringLiteral("/base/kvpic")).absolutePath());
    const QString full = QDir::cleanPath(base + separator + cph + QStringLiteral(".jpg"));
    return QFileInfo(full).path() == base;
}

QString PictureCache::thumbnailPath(const QString& cph) const
{
    if (!isSafeProductNumber(cph))
        return {};
    return folder() + separator + cph + QStringLiteral(".jpg");
}

QString PictureCache::largePicturePath(const QString& cph) const
{
    if (!isSafeProductNumber(cph))
        return {};
    return folder() + separator + cph + QStringLiteral("_dtp.jpg");
}

QString GetTempDirectory()
{
    QString path = QDir::fromNativeSeparators(QDir::tempPath());
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path += u'/';
    return path;
}

} // namespace kova
