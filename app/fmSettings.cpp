#include "fmSettings.h"

#include "CzechText.h"
#include "ModalRunner.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfSettings::TfSettings(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Czech("Nastavení"));
    eInterval = new QSpinBox(this);
    eInterval->setRange(0, MostCheckMinutes);
    eInterval->setSpecialValueText(Czech("vypnuto"));
    eInterval->setSuffix(Czech(" min"));
    cbCheckAtStart = new QCheckBox(Czech("Zkontrolovat vše po spuštění"), this);
    cbNotify = new QCheckBox(Czech("Oznámit novou poštu"), this);
    cbCloseToTray = new QCheckBox(Czech("Zavřením okna jen skrýt do oznamovací oblasti"), this);
    cbStartInTray = new QCheckBox(Czech("Spouštět skryté v oznamovací oblasti"), this);
    OkButton = new QPushButton("OK", this);
    OkButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(Czech("Kontrolovat vše každých"), eInterval);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    for (QCheckBox* box : {cbCheckAtStart, cbNotify, cbCloseToTray, cbStartInTray})
        layout->addWidget(box);
    layout->addLayout(buttons);
}

void TfSettings::Show(const TAppSettings& settings)
{
    eInterval->setValue(settings.CheckMinutes);
    cbCheckAtStart->setChecked(settings.CheckAtStart);
    cbNotify->setChecked(settings.Notify);
    cbCloseToTray->setChecked(settings.CloseToTray);
    cbStartInTray->setChecked(settings.StartInTray);
}

TAppSettings TfSettings::Settings() const
{
    return {eInterval->value(), cbCheckAtStart->isChecked(), cbNotify->isChecked(), cbCloseToTray->isChecked(),
            cbStartInTray->isChecked()};
}

bool EditSettingsDialog(TAppSettings& settings, QWidget* parent)
{
    TfSettings dialog(parent);
    dialog.Show(settings);
    if (RunModal(dialog) != QDialog::Accepted)
        return false;
    settings = dialog.Settings();
    return true;
}
