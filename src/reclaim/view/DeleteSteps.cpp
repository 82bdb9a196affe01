#include "reclaim/view/DeleteSteps.hpp"

#include "base/Format.hpp"
#include "reclaim/ResultTexts.hpp"
#include "reclaim/SheetTexts.hpp"
#include "reclaim/view/ConfirmRow.hpp"
#include "reclaim/view/ScrollingBox.hpp"
#include "reclaim/view/SheetControls.hpp"
#include "ui/Theme.hpp"
#include "ui/WrappingLabel.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quillmere {

namespace {

// The sheet's texts: the kit's label in the sheet's type sizes, on one line or broken
// between words.
WrappingLabel* sheetText(const QString& text, qreal size, QFont::Weight weight, Ink ink, bool wraps,
                         QWidget* parent = nullptr) {
    return new WrappingLabel(text, Theme::uiFont(size, weight), ink,
                             wraps ? WrappingLabel::Wrap::words : WrappingLabel::Wrap::none, parent);
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QVBoxLayout* stepLayout(QWidget* step) {
    auto* layout = new QVBoxLayout(step);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(13);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    step->setSizePolicy(policy);
    return layout;
}

} // namespace

DeleteConfirmView::DeleteConfirmView(const SheetContent& content, QWidget* parent)
    : QWidget(parent), title_(sheetText(q(content.title), 16, QFont::DemiBold, Ink::primary, true, this)),
      summary_(sheetText(q(content.summary), 12.5, QFont::Normal, Ink::secondary, true, this)),
      getBack_(sheetText(q(sheet_text::getBack), 12.5, QFont::Normal, Ink::primary, false, this)),
      spinner_(new ProgressIndicator(sheetSpinnerLook(), this)),
      cancel_(new SheetButton(q(sheet_text::cancel), SheetButton::Style::bordered, this)),
      confirm_(new SheetButton(q(content.confirmLabel), SheetButton::Style::destructive, this)) {
    QVBoxLayout* layout = stepLayout(this);
    layout->addWidget(new TrashTile(this), 0, Qt::AlignLeft);
    layout->addWidget(title_);
    layout->addWidget(summary_);
    if (!content.rows.empty()) {
        list_ = new ScrollingBox(ScrollingBox::Look::list, 0, this);
        for (std::size_t i = 0; i < content.rows.size(); ++i) {
            const SheetContent::Row& row = content.rows[i];
            if (i > 0) list_->addWidget(new SheetDivider);
            auto* confirmRow =
                new ConfirmRow(q(row.name), q(row.sizeText), row.isKept,
                               row.keptReason ? std::optional(q(*row.keptReason)) : std::nullopt);
            confirmRow->setObjectName(q(row.id));
            list_->addWidget(confirmRow);
        }
        layout->addWidget(list_);
    }
    if (content.finePrint) {
        finePrint_ = sheetText(q(*content.finePrint), 11, QFont::Normal, Ink::secondary, true, this);
        layout->addWidget(finePrint_);
    }
    getBack_->setEmphasis(q(formatByteCount(content.reclaimableBytes)), QFont::DemiBold);
    getBack_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* footer = new QHBoxLayout;
    footer->setSpacing(8);
    footer->addWidget(getBack_, 0, Qt::AlignVCenter);
    footer->addSpacing(4 - 8);
    footer->addWidget(spinner_, 0, Qt::AlignVCenter);
    footer->addStretch(1);
    footer->addWidget(cancel_);
    footer->addWidget(confirm_);
    layout->addLayout(footer);
    spinner_->hide();
    connect(cancel_, &QAbstractButton::clicked, this, &DeleteConfirmView::cancelRequested);
    connect(confirm_, &QAbstractButton::clicked, this, &DeleteConfirmView::confirmRequested);
}

void DeleteConfirmView::setWorking(bool working) {
    working_ = working;
    spinner_->setVisible(working);
    setEnabled(!working);
}

int DeleteConfirmView::heightForWidth(int width) const {
    return layout()->heightForWidth(width);
}

DeleteResultView::DeleteResultView(const Reclaimer::Outcome& outcome, const SheetContent& content,
                                   QWidget* parent)
    : QWidget(parent) {
    const std::vector<std::string> lines = failureLines(outcome);
    failed_ = !lines.empty();
    headline_ = sheetText(q(failed_ ? content.failureHeadline : content.successHeadline), 16, QFont::DemiBold,
                          Ink::primary, true, this);
    sentence_ = sheetText(q(freeSpaceSentence(outcome)), 12.5, QFont::Normal, Ink::secondary, true, this);
    done_ = new SheetButton(q(sheet_text::done), SheetButton::Style::prominent, this);
    QVBoxLayout* layout = stepLayout(this);
    layout->addWidget(new ResultSymbol(failed_, this), 0, Qt::AlignLeft);
    layout->addWidget(headline_);
    layout->addWidget(sentence_);
    if (failed_) {
        failures_ = new ScrollingBox(ScrollingBox::Look::warning, 4, this);
        for (const std::string& line : lines)
            failures_->addWidget(sheetText(q(line), 11.5, QFont::Normal, Ink::secondary, true));
        layout->addWidget(failures_);
    }
    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    footer->addWidget(done_);
    layout->addLayout(footer);
    connect(done_, &QAbstractButton::clicked, this, &DeleteResultView::doneRequested);
}

int DeleteResultView::heightForWidth(int width) const {
    return layout()->heightForWidth(width);
}

} // namespace quillmere
