#pragma once

#include <QString>

namespace kova {

// Which list the window shows: the results, the favorites or the price-drop notices.
enum class ListMode { None = 0, Results = 1, Favorites = 2, PriceDrops = 3 };

// The program-wide state kept by the main window's module and read and written directly
// by the commands and page readers.
struct ProgramState {
    kova::ListMode ListMode = ListMode::None;
    QString VersionCode;
    QString UserId;
    QString UserPassword;
    QString TaobaoPid;
    QString JdUnionId;
    bool AccountReplyExpected = false;
    QString TempDir; // with its trailing separator
    QString AppDir;  // with its trailing separator
    QString SearchWord;
    bool WordHasPictures = false;
};

} // namespace kova
