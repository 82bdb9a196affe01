#include "app/RestrictedFlags.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace quillmere {
namespace {

// Paths waiting to be read: those of rows scrolled past while the reader was held up by a file
// system that stopped answering go first.
constexpr size_t kMostWaiting = 4096;
// Flags kept: every row of the largest folders; past it the oldest answers are asked again.
constexpr size_t kMostKnown = 200'000;

} // namespace

struct RestrictedFlags::Shared {
    RestrictedFlagReader read;
    QPointer<RestrictedFlags> owner;
    std::mutex lock;
    std::unordered_map<std::string, bool> known;
    std::deque<std::string> waiting;
    std::unordered_set<std::string> asked; // waiting or being read
    bool reading = false;
};

namespace {

// Reads what waits until nothing does, on its own thread.
void readWaiting(const std::shared_ptr<RestrictedFlags::Shared>& shared) {
    std::unique_lock guard(shared->lock);
    while (!shared->waiting.empty()) {
        const std::string path = std::move(shared->waiting.front());
        shared->waiting.pop_front();
        guard.unlock();
        bool restricted = false;
        try {
            restricted = shared->read(path);
        } catch (...) {
            // A flag that cannot be read counts as unset, as a failed read does.
        }
        guard.lock();
        shared->asked.erase(path);
        if (shared->known.size() >= kMostKnown) shared->known.clear();
        shared->known.emplace(path, restricted);
        if (restricted && QCoreApplication::instance())
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [owner = shared->owner] {
                    if (owner) emit owner->restrictedFound();
                },
                Qt::QueuedConnection);
    }
    shared->reading = false;
}

bool flagOf(const std::shared_ptr<RestrictedFlags::Shared>& shared, const std::string& path) {
    std::unique_lock guard(shared->lock);
    if (const auto found = shared->known.find(path); found != shared->known.end()) return found->second;
    if (!shared->read || !shared->asked.insert(path).second) return false;
    shared->waiting.push_back(path);
    if (shared->waiting.size() > kMostWaiting) {
        shared->asked.erase(shared->waiting.front());
        shared->waiting.pop_front();
    }
    if (shared->reading) return false;
    // One reader at a time, ending when nothing waits: a file system that stopped answering
    // holds it, never the window, and what waits behind it stays bounded.
    shared->reading = true;
    try {
        std::thread([shared] { readWaiting(shared); }).detach();
    } catch (...) {
        shared->reading = false;
    }
    return false;
}

} // namespace

RestrictedFlags::RestrictedFlags(RestrictedFlagReader read, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    shared_->read = std::move(read);
    shared_->owner = this;
}

RestrictedFlags::~RestrictedFlags() = default;

bool RestrictedFlags::flagFor(const std::string& path) {
    return flagOf(shared_, path);
}

void RestrictedFlags::forgetAll() {
    const std::lock_guard guard(shared_->lock);
    shared_->known.clear();
}

RestrictedFlagReader RestrictedFlags::reader() {
    // Through the shared state, so a reader kept after this object still answers.
    return [shared = shared_](const std::string& path) { return flagOf(shared, path); };
}

} // namespace quillmere
