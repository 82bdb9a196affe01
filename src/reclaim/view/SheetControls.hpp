#pragma once

#include "systemdata/view/SystemDataButton.hpp"
#include "ui/Ink.hpp"
#include "ui/ProgressIndicator.hpp"

#include <QColor>
#include <QFont>
#include <QWidget>

namespace quillmere {

// The pieces the sheet's two steps are built from: painted text blocks, the trash tile, the
// buttons, a divider and the spinner. Colours follow the window's scheme on every paint.

// The 46-point tile with the trash symbol on the warning colour.
class TrashTile : public QWidget {
    Q_OBJECT
public:
    explicit TrashTile(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A result symbol: the check in green or the warning triangle in the accent colour.
class ResultSymbol : public QWidget {
    Q_OBJECT
public:
    ResultSymbol(bool failed, QWidget* parent = nullptr);
    bool failed() const { return failed_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool failed_;
};

// The sheet's buttons: bordered, or prominent (filled with the accent colour, or red for a
// destructive confirmation), drawn like the System Data screen's. Inert ones are dimmed.
class SheetButton : public SystemDataButton {
    Q_OBJECT
public:
    enum class Style { bordered, prominent, destructive };
    SheetButton(const QString& title, Style style, QWidget* parent = nullptr);
    Style style() const { return style_; }
    QSize sizeHint() const override;

protected:
    QColor prominentColor(bool dark) const override;

private:
    Style style_;
};

// A hairline in the separator colour, inset like the rows it parts.
class SheetDivider : public QWidget {
    Q_OBJECT
public:
    explicit SheetDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The small turning spinner shown while the removal runs: spokes in the secondary ink.
ProgressIndicator::Look sheetSpinnerLook();

} // namespace quillmere
