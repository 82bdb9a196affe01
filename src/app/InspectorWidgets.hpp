#pragma once

#include "scan/FileNode.hpp"
#include "views/InspectorModel.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>
#include <functional>

namespace quillmere {

// The 30-point tile beside the path: the accent gradient and a folder or document symbol.
class InspectorIconTile : public QWidget {
    Q_OBJECT
public:
    InspectorIconTile(bool isDirectory, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool isDirectory_;
};

// A tinted note with its symbol.
class CalloutWidget : public QWidget {
    Q_OBJECT
public:
    CalloutWidget(const views::inspector::Callout& callout, bool dark, QWidget* parent = nullptr);
    views::inspector::CalloutKind kind() const { return kind_; }
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    views::inspector::CalloutKind kind_;
    QString text_;
    QColor tint_;
};

// A label and its value on one line, with a hairline below.
class FactRow : public QWidget {
    Q_OBJECT
public:
    FactRow(const views::inspector::Fact& fact, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// One row of the "Inside" list: icon, name, size, chevron and the share bar. An openable row
// is a button; any other row only explains itself.
class ContentsRowWidget : public QAbstractButton {
    Q_OBJECT
public:
    ContentsRowWidget(views::inspector::ContentsRow row, QWidget* parent = nullptr);
    const views::inspector::ContentsRow& row() const { return row_; }
    QSize sizeHint() const override;
    // The filled part of the share bar, in this widget's coordinates.
    QRectF barFillRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF barTrackRect() const;
    views::inspector::ContentsRow row_;
    bool hovered_ = false;
};

// The action bar's buttons: bordered, or filled with a tint (the red Delete).
class InspectorButton : public QAbstractButton {
    Q_OBJECT
public:
    InspectorButton(const QString& title, const QString& symbol, QColor prominentTint = {},
                    QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor tint_;
};

} // namespace quillmere
