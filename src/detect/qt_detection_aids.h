#pragma once
// What the detection tab offers besides double-clicks: Enter on the selected folder starts the scan
// and Esc cancels it; a strip above the result list shows the scan's counts with their names and
// the folder being read; a filter box narrows the list to the files whose path or streams contain
// a text. The filter only hides rows: the list itself, and what its commands copy and save, stays
// whole.

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QProgressBar;
class QTableView;
class QWidget;

namespace tessaly {

class DetectionPage;
class NameLabel;
class ScanStrip;

class DetectionAids final : public QObject {
    Q_OBJECT

public:
    explicit DetectionAids(DetectionPage& page);

    // The counts of the last scan as the strip shows them.
    QString countsText() const;

private:
    // Hides the rows of every file that does not match; from the first row when the text changed,
    // otherwise from the file the rows shown last ended with, which may have gained streams since.
    void applyFilter(bool fromStart);
    void showProgress();
    void scanEnded();

    DetectionPage& pane_;
    QTableView* list_ = nullptr;
    QLineEdit* filter_ = nullptr;
    ScanStrip* strip_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QLabel* counts_ = nullptr;
    NameLabel* folder_ = nullptr;
    QString needle_;
    int applied_ = 0;      // rows of the list the filter has been applied to
    bool anyHidden_ = false;
};

}  // namespace tessaly
