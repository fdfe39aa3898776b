#pragma once

#include <QString>

namespace kova {

// The program-wide state kept by the main window's module and read and written directly
// by the commands and page readers.
struct ProgramState {
    int ListMode = 0; // 1 results, 2 favorites, 3 price-drop notices
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
