#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace daylume {

// One running Daylume per user: a later launch tells the first one and leaves. Works with or
// without a session bus (a local socket in the user's runtime directory).
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath = defaultSocketPath());
    static QString defaultSocketPath();

    // True when this process is the first; otherwise the first one has been told of this launch
    // and this one should exit.
    bool claim();

Q_SIGNALS:
    void launchedAgain();

private:
    QString socketPath_;
    QLocalServer server_;
};

}  // namespace daylume
