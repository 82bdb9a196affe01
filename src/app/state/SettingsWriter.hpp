#pragma once

#include <QString>
#include <QVariant>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillmere {

// One settings file as this process sees it: its values, read once when the first store opens
// it, and every value set since, which a thread of its own writes to the file in the order they
// were set. Writing locks, replaces and flushes the file, and Qt holds its settings lock for a
// file all the while, so nothing on the main thread touches the file once it is open: a slow
// or stalled disk (a home folder on the network) would otherwise hold the window still.
//
// One writer serves every store on a file; the last store to let it go waits for the values
// still queued, so nothing set is lost. Main thread only, apart from its own thread.
class SettingsWriter {
public:
    // The writer of the INI file at `path`, read now unless a store holds it already.
    static std::shared_ptr<SettingsWriter> forFile(const QString& path);
    // The writer of the user's own settings file (its location as Qt's native settings have it).
    static std::shared_ptr<SettingsWriter> forUserFile();

    explicit SettingsWriter(QString fileName);
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter&) = delete;
    SettingsWriter& operator=(const SettingsWriter&) = delete;

    const QString& fileName() const { return fileName_; }
    QVariant value(const QString& key, const QVariant& fallback) const;
    void set(const QString& key, const QVariant& value);
    // Returns once every value set so far is on disk.
    void waitUntilWritten();

private:
    void run();

    const QString fileName_;
    std::map<QString, QVariant> values_; // as read, then as set; main thread only
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<QString, QVariant>> queued_; // not yet handed to the file
    uint64_t queuedCount_ = 0;                         // values ever queued
    uint64_t writtenCount_ = 0;                        // of those, the ones on disk
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace quillmere
