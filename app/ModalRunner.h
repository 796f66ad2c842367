#pragma once
// Every modal window of the program itself (the account editor, the About box, the help
// window) is run through here, so that tests can answer it instead of blocking on exec().

#include <QDialog>
#include <functional>

using TModalRunner = std::function<int(QDialog& dialog)>;

// Runs the dialog modally and returns its result (QDialog::Accepted or Rejected).
int RunModal(QDialog& dialog);

// Installs a runner in place of exec(); an empty one restores exec(). Returns the
// previous runner.
TModalRunner SetModalRunner(TModalRunner runner);
