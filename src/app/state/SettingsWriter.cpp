#include "app/state/SettingsWriter.hpp"

#include <QFileInfo>
#include <QSettings>

namespace quillmere {

std::shared_ptr<SettingsWriter> SettingsWriter::forFile(const QString& path) {
    static std::map<QString, std::weak_ptr<SettingsWriter>> writers;
    const QString fileName = QFileInfo(path).absoluteFilePath();
    std::erase_if(writers, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<SettingsWriter>& slot = writers[fileName];
    std::shared_ptr<SettingsWriter> writer = slot.lock();
    if (!writer) {
        writer = std::make_shared<SettingsWriter>(fileName);
        slot = writer;
    }
    return writer;
}

std::shared_ptr<SettingsWriter> SettingsWriter::forUserFile() {
    // Kept while any store holds it, so that later stores need not ask Qt where the file is:
    // asking reads the file, under the lock the writer may be holding.
    static std::weak_ptr<SettingsWriter> user;
    if (std::shared_ptr<SettingsWriter> writer = user.lock()) return writer;
    // Named explicitly: the application object's names may not be set when this is made.
    const QString fileName =
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillmere", "Quillmere").fileName();
    std::shared_ptr<SettingsWriter> writer = forFile(fileName);
    user = writer;
    return writer;
}

SettingsWriter::SettingsWriter(QString fileName) : fileName_(std::move(fileName)) {
    // Read before the thread starts, so nothing waits for it.
    const QSettings file(fileName_, QSettings::IniFormat);
    for (const QString& key : file.allKeys())
        values_[key] = file.value(key);
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

QVariant SettingsWriter::value(const QString& key, const QVariant& fallback) const {
    const auto found = values_.find(key);
    return found == values_.end() ? fallback : found->second;
}

void SettingsWriter::set(const QString& key, const QVariant& value) {
    values_[key] = value;
    {
        std::lock_guard lock(mutex_);
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
    // Made here, so that it belongs to this thread; no event loop ever syncs it, only this.
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
            // Out of memory: the values stay readable in this process, and nobody waits forever.
        }
        lock.lock();
        writtenCount_ = upTo;
        changed_.notify_all();
    }
}

} // namespace quillmere
