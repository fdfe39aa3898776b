#include "PictureCache.h"

#include "Error.h"
#include "Report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

namespace kova {
namespace {

const QString folderName = QStringLiteral("kvpic");
const QString separator = QStringLiteral("/");

// The longest file name most file systems take, in bytes, less the longest suffix.
constexpr qsizetype maxProductNumberBytes = 255 - 8;

constexpr QFileDevice::Permissions PrivateFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Folders refused in this run; read by the thumbnail thread too.
struct RefusedFolders {
    std::mutex mutex;
    QSet<QString> folders;

    static QString key(const QString& folder)
    {
        return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    }
    bool contains(const QString& folder)
    {
        const QString k = key(folder);
        std::lock_guard lock(mutex);
        return folders.contains(k);
    }
    // True when the folder was not refused before.
    bool add(const QString& folder)
    {
        const QString k = key(folder);
        std::lock_guard lock(mutex);
        if (folders.contains(k))
            return false;
        folders.insert(k);
        return true;
    }
};

RefusedFolders& refused()
{
    static RefusedFolders r;
    return r;
}

QString withSeparator(QString path)
{
    path = QDir::fromNativeSeparators(path);
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path += u'/';
    return path;
}

} // namespace

PictureCache::PictureCache(QString tempDir) : m_tempDir(std::move(tempDir)) {}

QString PictureCache::folder() const
{
    return m_tempDir + folderName;
}

void PictureCache::ensureFolder() const
{
    const QString path = folder();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        const int failed = ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 ? 0 : errno;
        if (failed != 0 && failed != EEXIST)
            throw Error(
                QStringLiteral("无法创建图片缓存文件夹 %1：%2")
                    .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(failed))));
    } else if (!info.isDir() && !info.isSymLink()) {
        throw Error(QStringLiteral("无法创建图片缓存文件夹 %1：该位置已有同名文件")
                        .arg(QDir::toNativeSeparators(path)));
    }
    if (IsOwnFolder(path) || isRefused())
        return;
    if (refused().add(path))
        ShowError(QStringLiteral("图片缓存文件夹 %1 不属于当前用户，不能使用；本次运行不显示商品图片。")
                      .arg(QDir::toNativeSeparators(path)));
}

bool PictureCache::prepareFolder() const
{
    if (isRefused())
        return false;
    try {
        ensureFolder();
    } catch (const Error& e) {
        if (refused().add(folder()))
            ShowError(e.message());
        return false;
    }
    return !isRefused();
}

bool PictureCache::isRefused() const
{
    return refused().contains(folder());
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
    if (!isSafeProductNumber(cph) || isRefused())
        return {};
    return folder() + separator + cph + QStringLiteral(".jpg");
}

QString PictureCache::largePicturePath(const QString& cph) const
{
    if (!isSafeProductNumber(cph) || isRefused())
        return {};
    return folder() + separator + cph + QStringLiteral("_dtp.jpg");
}

QString GetTempDirectory()
{
    return TempDirectoryFor(qEnvironmentVariable("TMPDIR"), qEnvironmentVariable("XDG_CACHE_HOME"),
                            qEnvironmentVariable("HOME"));
}

QString TempDirectoryFor(const QString& tmpdir, const QString& xdgCacheHome, const QString& home)
{
    if (!tmpdir.isEmpty())
        return withSeparator(tmpdir);
    // A relative XDG_CACHE_HOME is invalid and ignored, as the base directory rules say.
    QString cacheHome = QDir::isAbsolutePath(xdgCacheHome) ? xdgCacheHome : QString();
    if (cacheHome.isEmpty() && !home.isEmpty())
        cacheHome = withSeparator(home) + QStringLiteral(".cache");
    if (cacheHome.isEmpty())
        return {};
    const QString folder = withSeparator(cacheHome) + QStringLiteral("kova");
    if (!QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(cacheHome))
            return {};
        if (!QDir().mkdir(folder, PrivateFolder) && !QFileInfo(folder).isDir())
            return {};
    }
    return withSeparator(folder);
}

bool IsOwnFolder(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace kova
