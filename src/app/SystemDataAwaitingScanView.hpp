#pragma once

#include "scan/ScanRecords.hpp"

#include <QWidget>
#include <optional>
#include <string>

namespace quillmere {

class CapsuleButton;
class ProgressIndicator;

// The System Data section's texts while it has no report to show.
std::string systemDataAwaitingTitle(bool canStartScan);
// The sentence under the title; during a scan with figures it ends with how many files were read.
std::string systemDataAwaitingSentence(const std::string& volumeName,
                                       const std::optional<ScanProgress>& progress, bool canStartScan);
inline constexpr const char* kReadingSystemDataText = "Reading system data\u2026";

// What the System Data section shows before a scan has walked the disk: a badge, a title,
// a sentence and, before any scan, the button that starts one. During a scan the sentence
// counts the files read so far and there is no button.
class SystemDataAwaitingScanView : public QWidget {
    Q_OBJECT
public:
    explicit SystemDataAwaitingScanView(QWidget* parent = nullptr);

    void setVolumeName(const QString& name);
    void setProgress(const std::optional<ScanProgress>& progress);
    // With a start action the view offers the Scan button; without one it waits on the scan.
    void setCanStartScan(bool canStart);

    QString title() const;
    QString sentence() const;
    CapsuleButton* scanButton() const { return button_; }

signals:
    void startScanRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Column {
        QRectF badge;
        QRectF title;
        QRectF sentence;
        QRect button;
    };
    Column layoutColumn() const;
    void relayout();

    QString volumeName_;
    std::optional<ScanProgress> progress_;
    bool canStartScan_ = false;
    CapsuleButton* button_;
};

// The System Data section between the end of a scan and the first report: a turning
// indicator above "Reading system data…" (still while the desktop asks for reduced motion).
class ReadingSystemDataView : public QWidget {
    Q_OBJECT
public:
    explicit ReadingSystemDataView(QWidget* parent = nullptr);
    bool isTurning() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The indicator's top: it and the text under it stand centred as one block.
    int indicatorTop() const;

    ProgressIndicator* indicator_;
};

} // namespace quillmere
