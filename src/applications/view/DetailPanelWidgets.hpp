#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/view/RowListArea.hpp"
#include "ui/Ink.hpp"

#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QLabel;

namespace quillmere {

class AppIconCache;

// Plain text in the interface font, in one of the palette's inks.
QLabel* makeLabel(const QString& text, qreal pixelSize, QFont::Weight weight, Ink ink,
                  QWidget* parent = nullptr);
// The folder holding the item at `path`, home-relative, as an item row's location line.
QString locationLine(const std::string& path);
// A hairline across the pane.
QWidget* makeDivider(QWidget* parent = nullptr);
// A button stretched to the pane's width: `prominent` ones are filled with the platform's red.
QPushButton* makeWideButton(const QString& text, const QString& symbol, bool prominent,
                            QWidget* parent = nullptr);

// A rounded tinted box behind a wrapping rich text, with a symbol before it: in the warning
// colour, or the accent colour.
class Callout : public QWidget {
    Q_OBJECT
public:
    Callout(const QString& symbol, bool warning, const QString& html, QWidget* parent = nullptr);
    QLabel* label() const { return label_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    bool warning_;
    QLabel* label_;
};

// The application's icon, name and version and developer line at the top of a detail panel.
class DetailHeader : public QWidget {
    Q_OBJECT
public:
    DetailHeader(const InstalledApp& app, AppIconCache& icons, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(302, 15 + 40 + 15); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    InstalledApp app_;
    AppIconCache& icons_;
};

// The tickable rows of a detail panel under their group headings: a tick mark, the name, the
// location line and the size. Rows are keyed by position; a tap or the space bar on the
// focused row asks for its tick to be flipped.
class TickList : public RowListArea {
    Q_OBJECT
public:
    struct Row {
        QString name;
        QString location;
        bool locationIsAccent = false;
        QString size;
        bool isChecked = false;
    };
    struct Section {
        QString heading;
        std::vector<Row> rows;
    };

    explicit TickList(QWidget* parent = nullptr);
    void setSections(std::vector<Section> sections);
    const std::vector<Section>& sections() const { return sections_; }

    static constexpr qreal kRowHeight = 42;

signals:
    void toggled(int sectionIndex, int rowIndex);

protected:
    void paintEvent(QPaintEvent*) override;
    qreal layOut() override;
    int bandCount() const override { return static_cast<int>(placed_.size()); }
    Band band(int index) const override;
    void rowChosen(int index) override;

private:
    // Indices of the rows are flat, over all sections.
    struct Placed {
        int section;
        int row; // -1 for the heading
        qreal top;
        qreal height;
    };

    std::vector<Section> sections_;
    std::vector<Placed> placed_;
};

} // namespace quillmere
