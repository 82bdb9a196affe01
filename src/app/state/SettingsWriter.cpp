#include "app/state/SettingsWriter.hpp"

#include <QSettings>

namespace quillmere {

std::shared_ptr<SettingsWriter> SettingsWriter::forFile(const QString& fileName) {
    static std::map<QString, std::weak_ptr<SettingsWriter>> writers;
    std::erase_if(writers, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<SettingsWriter>& slot = writers[fileName];
    std::shared_ptr<SettingsWriter> writer = slot.lock();
    if (!writer) {
        writer = std::make_shared<SettingsWriter>(fileName);
        slot = writer;
    }
    return writer;
}

SettingsWriter::SettingsWriter(QString fileName) : fileName_(std::move(fileName)) {
    thread_ = std::thread([this] { run(); });
}

SettingsWriter::~SettingsWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::optional<QVariant> SettingsWriter::valueSet(const QString& key) const {
    std::lock_guard lock(mutex_);
    const auto found = set_.find(key);
    if (found == set_.end()) return std::nullopt;
    return found->second;
}

void SettingsWriter::set(const QString& key, const QVariant& value) {
    {
        std::lock_guard lock(mutex_);
        set_[key] = value;
        queued_.emplace_back(key, value);
        ++queuedCount_;
    }
    changed_.notify_all();
}

void SettingsWriter::waitUntilWritten() {
    std::unique_lock lock(mutex_);
    const uint64_t target = queuedCount_;
    changed_.wait(lock, [&] { return writtenCount_ >= target; });
}

void SettingsWriter::run() {
    // Made here, so that it belongs to this thread; it is never synced by an event loop, only
    // below. On Linux the native format is this INI file.
    QSettings file(fileName_, QSettings::IniFormat);
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return stopping_ || !queued_.empty(); });
        if (queued_.empty()) return; // stopping, with everything written
        // Values set while the file is written wait for the next round, which takes them all.
        std::vector<std::pair<QString, QVariant>> batch;
        batch.swap(queued_);
        const uint64_t upTo = queuedCount_;
        lock.unlock();
        try {
            for (const auto& [key, value] : batch)
                file.setValue(key, value);
            file.sync();
        } catch (...) {
            // Out of memory: the values stay readable from here, and nobody waits forever.
        }
        lock.lock();
        writtenCount_ = upTo;
        changed_.notify_all();
    }
}

} // namespace quillmere
