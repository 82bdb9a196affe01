#pragma once

#include <QString>
#include <QVariant>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillmere {

// Writes one settings file on a thread of its own, in the order the values were set: writing
// it locks, replaces and flushes the file, which waits on the disk, and on a slow or stalled one
// (a home folder on the network) would hold the window still. Until a value is on disk, the
// stores read it from here.
//
// One writer serves every store on a file (`forFile`); the last store to let it go waits for
// the values still queued, so nothing set is lost.
class SettingsWriter {
public:
    // The writer of the INI file `fileName`, shared while any store holds it. Main thread only.
    static std::shared_ptr<SettingsWriter> forFile(const QString& fileName);

    explicit SettingsWriter(QString fileName);
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter&) = delete;
    SettingsWriter& operator=(const SettingsWriter&) = delete;

    // The value set last through this writer, on disk yet or not.
    std::optional<QVariant> valueSet(const QString& key) const;
    void set(const QString& key, const QVariant& value);
    // Returns once every value set so far is on disk.
    void waitUntilWritten();

private:
    void run();

    const QString fileName_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<QString, QVariant> set_;                  // every value set, for the readers
    std::vector<std::pair<QString, QVariant>> queued_; // not yet handed to the file
    uint64_t queuedCount_ = 0;                         // values ever queued
    uint64_t writtenCount_ = 0;                        // of those, the ones on disk
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace quillmere
