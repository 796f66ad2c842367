#include "ModalRunner.h"

namespace {

TModalRunner InstalledRunner;

} // namespace

int RunModal(QDialog& dialog)
{
    if (InstalledRunner)
        return InstalledRunner(dialog);
    return dialog.exec();
}

TModalRunner SetModalRunner(TModalRunner runner)
{
    TModalRunner previous = std::move(InstalledRunner);
    InstalledRunner = std::move(runner);
    return previous;
}
