#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

namespace kova {

// The small "设置" window: desktop price-drop alerts on or off and the minutes between two
// checks. It only shows and returns the values; the caller keeps them.
class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    SettingsWindow(bool alertsOn, int intervalMinutes, int minMinutes, int maxMinutes,
                   QWidget* parent = nullptr);
    bool alertsOn() const;
    int intervalMinutes() const;

    QCheckBox* alertsBox() const { return m_alerts; }
    QSpinBox* intervalBox() const { return m_interval; }

private:
    QCheckBox* m_alerts;
    QSpinBox* m_interval;
};

} // namespace kova
