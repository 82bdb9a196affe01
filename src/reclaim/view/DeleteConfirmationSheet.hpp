#pragma once

#include "reclaim/ReclaimTarget.hpp"
#include "reclaim/SheetContent.hpp"
#include "systemdata/Reclaimer.hpp"

#include <QDialog>
#include <functional>
#include <optional>
#include <thread>

namespace quillmere {

class DeleteConfirmView;
class DeleteResultView;

// Every removal passes through this sheet: it asks, runs the Reclaimer off the main thread,
// shows what happened, and on Done hands the presenter the outcome (and, for a scanned item,
// the tree rebuilt without what went). Once confirmed, the removal runs to its end: while it
// works, Escape, Return and every close request are ignored; on the result step any close
// counts as Done, so `onFinished` runs exactly once after a confirmed removal.
class DeleteConfirmationSheet : public QDialog {
    Q_OBJECT
public:
    using OnFinished =
        std::function<void(std::optional<FileNode> newRoot, const Reclaimer::Outcome& outcome)>;
    // Builds the Reclaimer on the main thread when the user confirms.
    using MakeReclaimer = std::function<Reclaimer()>;

    static constexpr int kWidth = 460;

    DeleteConfirmationSheet(ReclaimTarget target, std::optional<FileNode> currentRoot, OnFinished onFinished,
                            MakeReclaimer makeReclaimer, QWidget* parent = nullptr);
    ~DeleteConfirmationSheet() override;

    const SheetContent& content() const { return content_; }
    bool isWorking() const { return isWorking_; }
    const std::optional<Reclaimer::Outcome>& outcome() const { return outcome_; }
    DeleteConfirmView* confirmView() const { return confirmView_; } // null once the result shows
    DeleteResultView* resultView() const { return resultView_; }    // null until then

    void confirm();
    // The result step for an outcome; reached when the Reclaimer returns.
    void showResult(Reclaimer::Outcome outcome);
    void finishWithResult();
    void reject() override;

signals:
    void workFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A window of its own: it follows its parent's appearance explicitly.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showStep(QWidget* step);

    ReclaimTarget target_;
    std::optional<FileNode> currentRoot_;
    OnFinished onFinished_;
    MakeReclaimer makeReclaimer_;
    SheetContent content_;
    std::optional<Reclaimer::Outcome> outcome_;
    bool isWorking_ = false;
    bool finished_ = false;
    DeleteConfirmView* confirmView_ = nullptr;
    DeleteResultView* resultView_ = nullptr;
    QWidget* step_ = nullptr;
    // Joined on destruction: a confirmed removal is never abandoned half-way.
    std::jthread worker_;
};

} // namespace quillmere
