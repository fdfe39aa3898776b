#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;

namespace kova {

// One window per data folder. The first start in a folder takes a lock file there
// (".kova.lock") and listens on a local socket named after the folder; a later start in
// the same folder finds the lock held, asks the first to come to the front and ends. A lock
// left by a program that was killed is taken over (its process no longer runs). The lock
// and the socket are given back when the object goes. The socket is a plain Unix stream
// socket watched by the event loop: the program needs no network module for it, which
// keeps a library and its dependencies out of every start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,   // this start holds the folder and answers the later ones
        Second,  // another running start holds the folder
        Unlocked // no lock file can be made here (for instance a read-only folder)
    };

    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Role role() const { return m_role; }
    QString folder() const { return m_folder; }

    // For a second start: tells the first to come to the front. False when it cannot be
    // reached (it is still starting or ending); retried for up to `waitMs`.
    bool activateFirst(int waitMs = 3000) const;

    // The lock file and the local socket's name (an absolute path) of a folder.
    static QString lockFilePath(const QString& folder);
    static QString serverName(const QString& folder);

signals:
    // A later start in the same folder asked for the window.
    void activationRequested();

private:
    class Listener;
    void accept();

    QString m_folder; // canonical
    Role m_role = Role::Unlocked;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<Listener> m_listener;
};

} // namespace kova
