#include "app/access/PrivilegedScanController.hpp"

#include <QMetaObject>
#include <QPointer>

namespace quillmere {

PrivilegedScanController::PrivilegedScanController(std::shared_ptr<PrivilegedScanClient> client,
                                                   QObject* parent)
    : QObject(parent), client_(std::move(client)), status_(client_->status()) {}

PrivilegedScanController::~PrivilegedScanController() {
    if (worker_.joinable()) worker_.join();
}

void PrivilegedScanController::setStatus(const PrivilegedScanStatus& status) {
    if (status == status_) return;
    status_ = status;
    emit statusChanged();
}

void PrivilegedScanController::setBusy(bool busy) {
    if (busy == isBusy_) return;
    isBusy_ = busy;
    emit isBusyChanged();
}

void PrivilegedScanController::turnOn() {
    if (isBusy_) return;
    setBusy(true);
    setStatus(client_->registerHelper());
    setBusy(false);
    if (status_.kind() == PrivilegedScanStatus::Kind::awaitingApproval) openApproval();
}

bool PrivilegedScanController::turnOff() {
    if (isBusy_) return false;
    setBusy(true);
    if (worker_.joinable()) worker_.join(); // the last one has already handed back its answer
    worker_ = std::thread([this, client = client_] {
        PrivilegedScanStatus answer;
        try {
            answer = client->unregisterHelper();
        } catch (const std::exception& error) {
            answer = PrivilegedScanStatus::failed(error.what());
        }
        // The destructor joins this thread, so the controller is alive until the call is queued;
        // a controller deleted before the queue runs drops the call.
        QMetaObject::invokeMethod(
            this,
            [this, answer] {
                setStatus(answer);
                setBusy(false);
                emit turnOffFinished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void PrivilegedScanController::openApproval() {
    client_->service().openApproval();
}

void PrivilegedScanController::reread() {
    setStatus(client_->status());
}

} // namespace quillmere
