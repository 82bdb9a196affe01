#pragma once

#include "scan/FileNode.hpp"

#include <QObject>
#include <optional>

namespace quillmere {

// The node the inspector shows. A node is a record, so every write notifies, even of the node
// already held. Lives on the main thread.
class SelectionState : public QObject {
    Q_OBJECT
public:
    explicit SelectionState(QObject* parent = nullptr) : QObject(parent) {}

    const std::optional<FileNode>& selectedNode() const { return selectedNode_; }
    void setSelectedNode(std::optional<FileNode> node) {
        selectedNode_ = std::move(node);
        emit selectedNodeChanged();
    }

signals:
    void selectedNodeChanged();

private:
    std::optional<FileNode> selectedNode_;
};

} // namespace quillmere
