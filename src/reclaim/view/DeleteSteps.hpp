#pragma once

#include "reclaim/SheetContent.hpp"
#include "systemdata/Reclaimer.hpp"

#include <QWidget>

namespace quillmere {

class ScrollingBox;
class SheetButton;
class ProgressIndicator;
class WrappingLabel;

// The confirm step: the trash tile, the question, the summary, the rows of what moves and what
// stays, the fine print, the total to get back, and Cancel and confirm. While working every
// control is inert and the spinner turns.
class DeleteConfirmView : public QWidget {
    Q_OBJECT
public:
    explicit DeleteConfirmView(const SheetContent& content, QWidget* parent = nullptr);

    void setWorking(bool working);
    bool isWorking() const { return working_; }

    WrappingLabel* title() const { return title_; }
    WrappingLabel* summary() const { return summary_; }
    ScrollingBox* list() const { return list_; }            // null without rows
    WrappingLabel* finePrint() const { return finePrint_; } // null without fine print
    WrappingLabel* getBack() const { return getBack_; }
    ProgressIndicator* spinner() const { return spinner_; }
    SheetButton* cancelButton() const { return cancel_; }
    SheetButton* confirmButton() const { return confirm_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void cancelRequested();
    void confirmRequested();

private:
    bool working_ = false;
    WrappingLabel* title_;
    WrappingLabel* summary_;
    ScrollingBox* list_ = nullptr;
    WrappingLabel* finePrint_ = nullptr;
    WrappingLabel* getBack_;
    ProgressIndicator* spinner_;
    SheetButton* cancel_;
    SheetButton* confirm_;
};

// The result step: the success or warning symbol, the matching headline, how much free space
// came back against the promise, the failures (scrolling inside a bounded box), and Done.
class DeleteResultView : public QWidget {
    Q_OBJECT
public:
    DeleteResultView(const Reclaimer::Outcome& outcome, const SheetContent& content,
                     QWidget* parent = nullptr);

    bool failed() const { return failed_; }
    WrappingLabel* headline() const { return headline_; }
    WrappingLabel* sentence() const { return sentence_; }
    ScrollingBox* failures() const { return failures_; } // null on success
    SheetButton* doneButton() const { return done_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void doneRequested();

private:
    bool failed_;
    WrappingLabel* headline_;
    WrappingLabel* sentence_;
    ScrollingBox* failures_ = nullptr;
    SheetButton* done_;
};

} // namespace quillmere
