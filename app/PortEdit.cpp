#include "PortEdit.h"

#include "Convert.h"
#include "QtText.h"
#include "UserInterface.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <limits>

TPortEdit::TPortEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    SetValue(0);
}

int32_t TPortEdit::Value() const
{
    return TryStrToInt(FromQt(text())).value_or(0);
}

void TPortEdit::SetValue(int32_t value)
{
    lineEdit()->setText(ToQt(IntToStr(value)));
}

void TPortEdit::stepBy(int steps)
{
    // Stops at the ends of the 32-bit range rather than wrapping around.
    int64_t next = static_cast<int64_t>(Value()) + steps;
    next = std::clamp<int64_t>(next, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    SetValue(static_cast<int32_t>(next));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled TPortEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

QValidator::State TPortEdit::validate(QString&, int&) const
{
    // Typing is filtered by keyPressEvent; whatever else lands here reads as 0 if it is
    // not a number.
    return QValidator::Acceptable;
}

bool TPortEdit::IsRefused(const QString& typed) const
{
    if (typed.size() != 1 || !typed[0].isPrint())
        return false;
    QChar c = typed[0];
    return !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && typed != locale().decimalPoint();
}

void TPortEdit::keyPressEvent(QKeyEvent* event)
{
    if (IsRefused(event->text()) && !(event->modifiers() & Qt::ControlModifier)) {
        UserInterface().Beep();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}
