#pragma once

#include "tests/support/WindowFixture.h"

#include <QDir>

namespace kova::test {

// The window fixture with what the search tests look at: picture requests and files.
class SearchFixture : public WindowFixture {
protected:
    int pictureRequests() const { return requestsWith(QStringLiteral("/pic/")); }
    QStringList thumbnails() const
    {
        return QDir(db.tempDir() + QStringLiteral("kvpic")).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    }
};

inline const QString NoNetwork = QStringLiteral("可能当前网络没有连接，请检查连通后再次搜索。");
inline const QString NoResults = QStringLiteral("没有找到相关商品，请换个关键词再试。");

} // namespace kova::test
