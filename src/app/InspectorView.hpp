#pragma once

#include "scan/FileNode.hpp"
#include "ui/Theme.hpp"
#include "views/InspectorModel.hpp"
#include "views/QuickLook.hpp"

#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
class QScrollArea;
class QVBoxLayout;

namespace quillmere {

class ContentsRowWidget;
class InspectorButton;
class SelectionState;

// The details panel: who the selected item is, how much of the scanned disk it takes, notes
// about bytes that are not really here or may never be removed, a few facts, its largest
// contents, and Preview, Reveal and Delete. It only reads the selection; every action leaves
// through the callbacks.
class InspectorView : public GlassPanel {
    Q_OBJECT
public:
    struct Services {
        std::function<bool(const std::string& path)> isProtectedPath;
        views::inspector::Lookups lookups;
        // Shows the item in the file manager.
        std::function<void(const std::string& path)> reveal;
        views::QuickLookCoordinator::PanelProvider previewPanel;
    };
    struct Actions {
        std::function<void()> onDeleteRequested;
        std::function<void(const FileNode&)> onOpenNode;
    };

    InspectorView(SelectionState& selection, Services services, Actions actions, QWidget* parent = nullptr);
    ~InspectorView() override;

    static Services systemServices(std::function<void(const std::string&)> reveal,
                                   views::QuickLookCoordinator::PanelProvider previewPanel);

    void setTotalUsedBytes(int64_t bytes);
    // Asks again whether the selection is protected: a flag may have been learned since.
    void refreshProtection() { scheduleRebuild(); }

    // The three actions, as their buttons run them.
    void quickLookSelection();
    void revealSelection();
    void deleteSelection();

    views::QuickLookCoordinator& quickLook() { return quickLook_; }
    bool isShowingCloudOnlyNotice() const { return cloudNotice_ != nullptr; }
    QMessageBox* cloudOnlyNotice() const { return cloudNotice_; }
    QWidget* actionBar() const { return current(actionBar_); }
    InspectorButton* quickLookButton() const { return current(quickLookButton_); }
    InspectorButton* revealButton() const { return current(revealButton_); }
    // None when Delete is not offered.
    InspectorButton* deleteButton() const { return current(deleteButton_); }
    // Every text the column shows now, top to bottom (for tests and reviews).
    QStringList shownTexts() const;
    QList<ContentsRowWidget*> contentsRows() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void rebuild();
    // Changes that come together (a double click selects, then opens and clears) build the
    // column once, after the event that made them; whoever reads it first gets it at once.
    void scheduleRebuild();
    void catchUp() const;
    // A part of the column, built first when a change is waiting.
    template <class Widget> Widget* current(Widget* const& part) const {
        catchUp();
        return part;
    }
    void buildEmpty(QVBoxLayout* column);
    void buildSelected(QVBoxLayout* column, const FileNode& node, bool isProtected);
    void buildActions(QVBoxLayout* column, const std::optional<FileNode>& node, bool isProtected);
    QWidget* divider();

    SelectionState& selection_;
    Services services_;
    Actions actions_;
    int64_t totalUsedBytes_ = 0;
    views::QuickLookCoordinator quickLook_;
    QPointer<QMessageBox> cloudNotice_;
    QWidget* content_ = nullptr;
    QWidget* actionBar_ = nullptr;
    InspectorButton* quickLookButton_ = nullptr;
    InspectorButton* revealButton_ = nullptr;
    InspectorButton* deleteButton_ = nullptr;
    bool rebuilding_ = false;
    bool rebuildPending_ = false;
};

} // namespace quillmere
