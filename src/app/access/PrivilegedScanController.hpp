#pragma once

#include "access/PrivilegedScanClient.hpp"
#include "access/PrivilegedScanning.hpp"

#include <QObject>
#include <memory>
#include <thread>

namespace quillmere {

// The user's switch for the privileged helper: the helper's status as last learned and whether
// a registration or unregistration runs. Both notify only when they change. Main thread.
class PrivilegedScanController : public QObject {
    Q_OBJECT
public:
    explicit PrivilegedScanController(std::shared_ptr<PrivilegedScanClient> client,
                                      QObject* parent = nullptr);
    // Waits for a running unregistration, which the service manager bounds.
    ~PrivilegedScanController() override;

    const PrivilegedScanStatus& status() const { return status_; }
    void setStatus(const PrivilegedScanStatus& status);
    bool isBusy() const { return isBusy_; }
    const std::shared_ptr<PrivilegedScanClient>& client() const { return client_; }

    // Registers on this thread: the service manager answers within its own time limit. A
    // registration that needs an administrator's approval shows how to give it.
    void turnOn();
    // Unregisters on a worker thread and applies the answer here; `turnOffFinished` follows.
    // False when something already runs.
    bool turnOff();
    // Shows the user how an administrator approves the helper.
    void openApproval();
    // The client's service status, read again (on activation).
    void reread();

signals:
    void statusChanged();
    void isBusyChanged();
    void turnOffFinished();

private:
    void setBusy(bool busy);

    std::shared_ptr<PrivilegedScanClient> client_;
    PrivilegedScanStatus status_;
    bool isBusy_ = false;
    std::thread worker_;
};

} // namespace quillmere
