#pragma once
// "Nastavení": the modal dialog of the program's own settings (AppSettings.h).

#include "AppSettings.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QSpinBox;

class TfSettings : public QDialog {
public:
    explicit TfSettings(QWidget* parent);

    // Minutes between scheduled checks; 0 shows "vypnuto".
    QSpinBox* eInterval;
    QCheckBox* cbCheckAtStart;
    QCheckBox* cbNotify;
    QCheckBox* cbCloseToTray;
    QCheckBox* cbStartInTray;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    void Show(const TAppSettings& settings);
    TAppSettings Settings() const;
};

// Shows the settings in the dialog; true when it closed with OK, and only then are
// settings changed.
bool EditSettingsDialog(TAppSettings& settings, QWidget* parent);
