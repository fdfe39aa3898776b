#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace kova {

// The desktop's notification service (org.freedesktop.Notifications on the session bus).
// notify() returns at once; the service's answer arrives as sent() or, when no service
// is on the bus or it refuses, as unavailable(). activated() follows when the user
// activates the latest notification sent.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    void notify(const QString& summary, const QString& body);

    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");

signals:
    void sent(uint id);
    void unavailable(const QString& why);
    void activated();

private slots:
    void onActionInvoked(uint id, const QString& action);

private:
    QDBusConnection m_bus;
    uint m_lastId = 0;
};

} // namespace kova
