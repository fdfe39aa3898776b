#pragma once

#include <QString>

namespace kova {

// The picture cache folder TempDir + "kvpic" and its file names. TempDir ends with a
// separator (or is empty: then the folder lives in the working folder).
//
// The folder must belong to the user running the program: pictures found in a folder that
// someone else owns could be anyone's, and pictures saved there could be read or replaced by
// its owner. Such a folder is refused for the rest of the run: its file paths read as empty,
// so nothing is saved into it or shown from it.
class PictureCache {
public:
    explicit PictureCache(QString tempDir = {});

    const QString& tempDir() const { return m_tempDir; }
    void setTempDir(const QString& tempDir) { m_tempDir = tempDir; }
    QString folder() const; // TempDir + "kvpic"

    // Creates the folder (one level, private to the user) when it does not exist; throws
    // kova::Error when it cannot be created. An existing folder that is not the user's own
    // (another owner, or a link) is refused and reported once through the standard error
    // report; the program goes on without pictures.
    void ensureFolder() const;
    // What the window runs before pictures are saved or shown: ensureFolder(), except that a
    // folder that cannot be made is said once in this run (standard error report) and then
    // refused like another user's folder, so a missing temporary directory costs the
    // pictures only. Returns whether the folder can be used.
    bool prepareFolder() const;
    // Whether the folder has been refused in this run.
    bool isRefused() const;

    // A product number is used in a file name only when it cannot reach outside the
    // folder: not empty, no path separator, not "." or "..", no control character and
    // none of  \ / : * ? " < > |
    static bool isSafeProductNumber(const QString& cph);

    // Full paths, or empty when the product number is not safe or the folder is refused.
    QString thumbnailPath(const QString& cph) const;    // cph + ".jpg"
    QString largePicturePath(const QString& cph) const; // cph + "_dtp.jpg"

private:
    QString m_tempDir;
};

// The user's temporary directory with a trailing separator (GetTempDirectory): $TMPDIR when
// it is set; otherwise the user's own cache folder ${XDG_CACHE_HOME:-$HOME/.cache}/kova, made
// private (0700) when it is missing. Empty when neither can be had.
QString GetTempDirectory();
// The same rule over given values (empty = unset).
QString TempDirectoryFor(const QString& tmpdir, const QString& xdgCacheHome, const QString& home);

// Whether `path` is a directory (not a link to one) owned by the user running the program.
bool IsOwnFolder(const QString& path);

} // namespace kova
