#pragma once

#include <QString>

namespace kova {

// The user's choices for desktop price-drop alerts, kept with QSettings in the desktop's
// own format and folder (organisation and application "kova").
struct AlertPreferences {
    bool enabled = true;
    int intervalMinutes = 60;

    static constexpr int MinInterval = 5;
    static constexpr int MaxInterval = 24 * 60;

    static AlertPreferences load();
    void save() const;
};

} // namespace kova
