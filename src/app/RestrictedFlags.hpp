#pragma once

#include "systemdata/ProtectedLocations.hpp"

#include <QObject>
#include <memory>
#include <string>

namespace quillmere {

// Items' restricted flags for what the window shows (a lock on a row, the inspector's "About
// this"), read off the main thread: reading one asks the item's file system, and one that
// stopped answering would hold the window for good while it paints a row. An item not read yet
// counts as unrestricted, and `restrictedFound` says when one read in the background is, for
// what shows it to look again. Removals test the flag themselves before they act.
class RestrictedFlags : public QObject {
    Q_OBJECT
public:
    explicit RestrictedFlags(RestrictedFlagReader read = ProtectedLocations::defaultFlagReader(),
                             QObject* parent = nullptr);
    ~RestrictedFlags() override;

    // What is known of `path`'s flag; false for now when nothing is, with the flag then read in
    // the background. Safe on any thread; never touches a disk.
    bool flagFor(const std::string& path);
    // A reader for ProtectedLocations that answers through flagFor.
    RestrictedFlagReader reader();
    // Drops every answer, for each to be read again when next asked: a new scan shows the
    // disk as it is now.
    void forgetAll();

    // What the readers share with their threads, which may outlive this object.
    struct Shared;

signals:
    void restrictedFound();

private:
    std::shared_ptr<Shared> shared_;
};

} // namespace quillmere
