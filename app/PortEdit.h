#pragma once
// The account editor's port field: a spin field without range limits. Typed printable
// characters other than digits, "+", "-" and the locale's decimal separator are refused
// with a beep; a text that is not an integer reads as 0.

#include <QAbstractSpinBox>
#include <cstdint>

class TPortEdit : public QAbstractSpinBox {
public:
    explicit TPortEdit(QWidget* parent);

    int32_t Value() const;
    void SetValue(int32_t value);

    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& position) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool IsRefused(const QString& typed) const;
};
