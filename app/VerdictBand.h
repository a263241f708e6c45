#pragma once

#include "app/RunStatus.h"

#include <QFrame>

class QLabel;
class QProgressBar;

// The outcome of the last run, large enough to read from across the bench:
// a band in green or red with a word and an icon, so that colour is not the
// only sign, the outcome with its time and, after a flash, the image's size
// and SHA-256. It lies over the progress bar and the free part of the Clear
// button's row, hiding the bar, until the next run starts or Clear is
// pressed; the widgets of the form keep their places and Clear stays on top.
// Its colours are mixed from the palette, so that light and dark themes both
// read.
class VerdictBand : public QFrame
{
    Q_OBJECT

public:
    // A child of the bar's parent; follows the bar and the button wherever
    // the layout puts them.
    VerdictBand(QProgressBar& bar, QWidget& clearButton);

    void showVerdict(const RunVerdict& verdict);
    void clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void elideImageText();
    void colour();

    QProgressBar& bar_;
    QWidget& clearButton_;
    QLabel* icon_;
    QLabel* word_;
    QLabel* outcome_;
    QLabel* image_;
    QString imageText_;
    bool completed_ = false;
};
