#pragma once

#include <QString>

namespace kova {

// The picture cache folder TempDir + "kvpic" and its file names. TempDir ends with a
// separator (or is empty: then the folder lives in the working folder).
class PictureCache {
public:
    explicit PictureCache(QString tempDir = {});

    const QString& tempDir() const { return m_tempDir; }
    void setTempDir(const QString& tempDir) { m_tempDir = tempDir; }
    QString folder() const; // TempDir + "kvpic"

    // Creates the folder (one level) when it does not exist; throws kova::Error when it
    // cannot be created.
    void ensureFolder() const;

    // A product number is used in a file name only when it cannot reach outside the
    // folder: not empty, no path separator, not "." or "..", no control character and
    // none of  \ / : * ? " < > |
    static bool isSafeProductNumber(const QString& cph);

    // Full paths, or empty when the product number is not safe.
    QString thumbnailPath(const QString& cph) const;    // cph + ".jpg"
    QString largePicturePath(const QString& cph) const; // cph + "_dtp.jpg"

private:
    QString m_tempDir;
};

// The user's temporary directory with a trailing separator (GetTempDirectory).
QString GetTempDirectory();

} // namespace kova
