#include "ui/SettingsWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kova {

SettingsWindow::SettingsWindow(bool alertsOn, int intervalMinutes, int minMinutes, int maxMinutes,
                               QWidget* parent)
    : QDialog(parent), m_alerts(new QCheckBox(QStringLiteral("收藏商品降价时在桌面提醒"), this)),
      m_interval(new QSpinBox(this))
{
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(QStringLiteral("设置"));
    m_alerts->setObjectName(QStringLiteral("alertsBox"));
    m_alerts->setChecked(alertsOn);
    m_interval->setObjectName(QStringLiteral("intervalBox"));
    m_interval->setRange(minMinutes, maxMinutes);
    m_interval->setValue(intervalMinutes);
    m_interval->setSuffix(QStringLiteral(" 分钟"));
    m_interval->setEnabled(alertsOn);
    connect(m_alerts, &QCheckBox::toggled, m_interval, &QWidget::setEnabled);

    auto* form = new QFormLayout;
    form->addRow(m_alerts);
    form->addRow(QStringLiteral("检查降价的间隔:"), m_interval);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

bool SettingsWindow::alertsOn() const
{
    return m_alerts->isChecked();
}

int SettingsWindow::intervalMinutes() const
{
    return m_interval->value();
}

} // namespace kova
