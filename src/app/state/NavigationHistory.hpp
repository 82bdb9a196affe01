#pragma once

#include "scan/FileNode.hpp"

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

// The folders visited in the disk map, each as the chain of nodes from the scanned root down to
// the folder shown, with back and forward over them.
//
// Notifications: `visits` is a collection and notifies on every write; `currentIndex` and
// `volumeName` notify only when the value changes. An operation writes all its fields before it
// emits anything, so a reader woken by any signal sees the finished state.
// Lives on the main thread.
class NavigationHistory : public QObject {
    Q_OBJECT
public:
    using Visit = std::vector<FileNode>;

    explicit NavigationHistory(QObject* parent = nullptr);

    const std::vector<Visit>& visits() const { return visits_; }
    int currentIndex() const { return currentIndex_; }
    const std::string& volumeName() const { return volumeName_; }

    void setCurrentIndex(int index);
    void setVolumeName(std::string name);

    // The visit shown; empty when there is none. The folder shown is its last node.
    Visit currentPath() const;
    // The volume's name, then the name of every node of the current path below the root.
    std::vector<std::string> breadcrumb() const;
    bool canGoBack() const { return currentIndex_ >= 1; }
    bool canGoForward() const;
    // How many navigation steps (a visit, a step back or forward) have moved the history. Only
    // these carry the navigation transition: a reset, a clear or a remap shows its folder at once.
    uint64_t navigationSteps() const { return navigationSteps_; }

    void goBack();
    void goForward();
    // Drops the forward visits and shows `chain`. Ignored until the history has a root: a
    // history must be reset before it can be walked.
    void visit(Visit chain);
    void reset(const FileNode& root, std::string volumeName);
    void clear();
    // After a deletion: every visit is rebuilt on `newRoot`, keeping the positions, so back
    // and forward keep working.
    void remap(const FileNode& newRoot);

    // `chain` rebuilt on `newRoot`: matched child by child on full paths, ending at the deepest
    // node that still exists. The new root stands for the old one whatever its path.
    static Visit rebuildPath(const Visit& chain, const FileNode& newRoot);

signals:
    void visitsChanged();
    void currentIndexChanged();
    void volumeNameChanged();

private:
    void commit(std::vector<Visit> visits, int index);

    std::vector<Visit> visits_;
    int currentIndex_ = -1;
    std::string volumeName_;
    uint64_t navigationSteps_ = 0;
};

} // namespace quillmere
