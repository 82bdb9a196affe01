#pragma once

#include "applications/model/ApplicationListRules.hpp"

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quillmere {

class ProgressIndicator;

// The bar above the list: the totals and the search box.

// The totals above the list: what the applications really take up, what the bundles alone
// take up, and how many there are; a spinner beside the real total while it still grows.
class ApplicationsSummaryStrip : public QWidget {
    Q_OBJECT
public:
    explicit ApplicationsSummaryStrip(QWidget* parent = nullptr);
    void setSummary(const ApplicationsSummary& summary, bool isSettling);
    const ApplicationsSummary& summary() const { return summary_; }
    bool isSettling() const { return isSettling_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ApplicationsSummary summary_;
    bool isSettling_ = true;
    ProgressIndicator* spinner_;
};

// The search box: a magnifier, the text, and a clear button while there is any text.
class SearchField : public QWidget {
    Q_OBJECT
public:
    explicit SearchField(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return edit_; }
    bool showsClearButton() const;
    QSize sizeHint() const override;

signals:
    void textEdited(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent*) override;

private:
    void restyle();

    QLineEdit* edit_;
    QToolButton* clear_;
};

} // namespace quillmere
