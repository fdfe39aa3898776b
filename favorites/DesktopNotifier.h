#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <vector>

namespace kova {

// A notification body as the server is to show it: without the bidirectional controls
// (U+202A–U+202E, U+2066–U+2069) and, for a server that reads markup in bodies, with
// "&", "<" and ">" escaped, so that names from a page are shown as the text they are.
QString NotificationBody(const QString& text, bool serverReadsMarkup);

// The desktop's notification service (org.freedesktop.Notifications on the session bus).
// notify() returns at once; the service's answer arrives as sent() or, when no service
// is on the bus or it refuses, as unavailable(). activated() follows when the user
// activates the latest notification sent.
// The service's capabilities are asked once, without waiting, when the notifier is made;
// a notice given before they are known goes out when they arrive. When the service does
// not tell, bodies are escaped: the safe choice for a server that reads markup.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    void notify(const QString& summary, const QString& body);

    enum class BodyMarkup { Unknown, Read, NotRead };
    BodyMarkup bodyMarkup() const { return m_markup; }

    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");

signals:
    void sent(uint id);
    void unavailable(const QString& why);
    void activated();

private slots:
    void onActionInvoked(uint id, const QString& action);

private:
    struct Notice {
        QString summary;
        QString body;
    };
    void askCapabilities();
    void send(const Notice& notice);

    QDBusConnection m_bus;
    uint m_lastId = 0;
    BodyMarkup m_markup = BodyMarkup::Unknown;
    bool m_asking = false;
    std::vector<Notice> m_waiting; // given while the capabilities were being asked
};

} // namespace kova
