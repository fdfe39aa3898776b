#include "store/AlertPreferences.h"

#include <QSettings>

#include <algorithm>

namespace kova {

AlertPreferences AlertPreferences::load()
{
    const QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kova"),
                      QStringLiteral("kova"));
    AlertPreferences p;
    p.enabled = s.value(QStringLiteral("alerts/enabled"), true).toBool();
    bool ok = false;
    const int minutes = s.value(QStringLiteral("alerts/intervalMinutes"), 60).toInt(&ok);
    // A hand-edited value out of range is brought back into it.
    p.intervalMinutes = ok ? std::clamp(minutes, MinInterval, MaxInterval) : 60;
    return p;
}

void AlertPreferences::save() const
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kova"),
                QStringLiteral("kova"));
    s.setValue(QStringLiteral("alerts/enabled"), enabled);
    s.setValue(QStringLiteral("alerts/intervalMinutes"),
               std::clamp(intervalMinutes, MinInterval, MaxInterval));
}

} // namespace kova
