#pragma once

#include <QComboBox>

// The Port box: tells when its list is about to drop down, so that the list
// can be brought up to date first.
class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        emit popupAboutToShow();
        QComboBox::showPopup();
    }

signals:
    void popupAboutToShow();
};
