#pragma once

#include <QString>

namespace kova {

// Every address the client requests, built in one place from the hosts of the build.
// Query values are percent-encoded as bytes of the build's query encoding (GBK unless
// configured otherwise).
class Requests {
public:
    Requests(); // the build's hosts
    Requests(QString serviceUrl, QString versionUrl, QString directoryUrl);

    const QString& serviceUrl() const { return m_service; }
    const QString& versionUrl() const { return m_version; }
    const QString& directoryUrl() const { return m_directory; }

    QString randomUser() const; // /RandomUser.aspx
    QString listAll(const QString& word, const QString& u, const QString& p) const;
    QString addFavorite(const QString& u, const QString& p, const QString& bh) const;
    QString deleteFavorite(const QString& u, const QString& p, const QString& ufid) const;
    QString listFavorites(const QString& u, const QString& p) const;
    QString listPriceDrops(const QString& u, const QString& p) const; // &d=down
    QString versionPage(const QString& versionCode) const;            // /Ver/Ver<code>.html
    QString preciseComparison(const QString& cpmc) const;             // list.aspx?k=
    QString homePage() const;                                         // /
    QString contactPage() const;                                      // contact.html
    QString directoryPage() const;                                    // directory host /

    // Percent-encodes a query value in the build's query encoding.
    static QString encodeQueryValue(const QString& value);

private:
    QString m_service;
    QString m_version;
    QString m_directory;
};

// Test seam: replaces the hosts every Requests() built afterwards uses (empty restores).
void setRequestHostsForTesting(const QString& service, const QString& version, const QString& directory);

} // namespace kova
