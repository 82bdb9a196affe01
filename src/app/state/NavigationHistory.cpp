#include "app/state/NavigationHistory.hpp"

#include "scan/ScannableVolume.hpp"

namespace quillmere {

// Before any scan the crumb names the startup disk as the user knows it.
NavigationHistory::NavigationHistory(QObject* parent)
    : QObject(parent), volumeName_(ScannableVolume::startupName()) {}

void NavigationHistory::setCurrentIndex(int index) {
    if (currentIndex_ == index) return;
    currentIndex_ = index;
    emit currentIndexChanged();
}

void NavigationHistory::setVolumeName(std::string name) {
    if (volumeName_ == name) return;
    volumeName_ = std::move(name);
    emit volumeNameChanged();
}

NavigationHistory::Visit NavigationHistory::currentPath() const {
    // Bounds are checked because direct writes may leave the index outside the visits.
    if (currentIndex_ < 0 || static_cast<size_t>(currentIndex_) >= visits_.size()) return {};
    return visits_[static_cast<size_t>(currentIndex_)];
}

std::vector<std::string> NavigationHistory::breadcrumb() const {
    std::vector<std::string> crumbs{volumeName_};
    const Visit path = currentPath();
    for (size_t i = 1; i < path.size(); ++i)
        crumbs.emplace_back(path[i].name());
    return crumbs;
}

bool NavigationHistory::canGoForward() const {
    return currentIndex_ >= 0 && static_cast<size_t>(currentIndex_) + 1 < visits_.size();
}

void NavigationHistory::goBack() {
    if (!canGoBack()) return;
    ++navigationSteps_;
    setCurrentIndex(currentIndex_ - 1);
}

void NavigationHistory::goForward() {
    if (!canGoForward()) return;
    ++navigationSteps_;
    setCurrentIndex(currentIndex_ + 1);
}

void NavigationHistory::visit(Visit chain) {
    if (currentIndex_ < 0) return;
    ++navigationSteps_;
    std::vector<Visit> visits = visits_;
    visits.resize(std::min(visits.size(), static_cast<size_t>(currentIndex_) + 1));
    visits.push_back(std::move(chain));
    const int last = static_cast<int>(visits.size()) - 1;
    commit(std::move(visits), last);
}

void NavigationHistory::reset(const FileNode& root, std::string volumeName) {
    const bool nameChanged = volumeName_ != volumeName;
    volumeName_ = std::move(volumeName);
    commit({Visit{root}}, 0);
    if (nameChanged) emit volumeNameChanged();
}

void NavigationHistory::clear() {
    commit({}, -1);
}

void NavigationHistory::remap(const FileNode& newRoot) {
    std::vector<Visit> visits;
    visits.reserve(visits_.size());
    for (const Visit& stored : visits_)
        visits.push_back(rebuildPath(stored, newRoot));
    commit(std::move(visits), currentIndex_);
}

NavigationHistory::Visit NavigationHistory::rebuildPath(const Visit& chain, const FileNode& newRoot) {
    Visit rebuilt{newRoot};
    for (size_t i = 1; i < chain.size(); ++i) {
        const std::span<const FileNode> children = rebuilt.back().children();
        const std::string wanted = chain[i].path();
        const FileNode* match = nullptr;
        for (const FileNode& child : children) {
            if (child.path() == wanted) {
                match = &child;
                break;
            }
        }
        // Only the next link is looked for: a node past a gap is never searched for deeper down.
        if (match == nullptr) break;
        rebuilt.push_back(*match);
    }
    return rebuilt;
}

void NavigationHistory::commit(std::vector<Visit> visits, int index) {
    const bool indexChanged = currentIndex_ != index;
    visits_ = std::move(visits);
    currentIndex_ = index;
    emit visitsChanged();
    if (indexChanged) emit currentIndexChanged();
}

} // namespace quillmere
