#include "UserInterfaceQt.h"

#include "FileLocations.h"
#include "QtText.h"
#include "fmMain.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QUrl>

QString FrameworkCaption(const std::string& caption)
{
    if (caption == "Error")
        return ToQt("Chyba");
    if (caption == "Warning")
        return ToQt("Upozornění");
    return ToQt(caption);
}

std::unique_ptr<QMessageBox> CreateErrorBox(const std::string& message, const QWidget* owner)
{
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Critical);
    box->setWindowTitle(FrameworkCaption("Error"));
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQt(message));
    // The button's text comes from the framework's translation, as in Qt's own dialogs.
    QPushButton* ok = box->addButton(QMessageBox::Ok);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    if (owner)
        box->move(owner->pos() + QPoint(50, 50));
    return box;
}

std::unique_ptr<QMessageBox> CreateQuestionBox(const std::string& caption, const std::string& question)
{
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(FrameworkCaption(caption));
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQt(question));
    box->addButton(QMessageBox::Yes);
    box->addButton(QMessageBox::No);
    // Every question comes before something that cannot be undone: Enter must not do it.
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool IsLinkForDesktop(const std::string& url)
{
    const QString scheme = QUrl(ToQt(url)).scheme().toLower();
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto";
}

void TQtUserInterface::ShowError(const std::string& message)
{
    CreateErrorBox(message, fmain)->exec();
}

bool TQtUserInterface::AskYesNo(const std::string& caption, const std::string& question)
{
    return CreateQuestionBox(caption, question)->exec() == QMessageBox::Yes;
}

std::optional<std::string> TQtUserInterface::AskSaveFileName(const std::string& proposedName)
{
    QFileDialog dialog(fmain);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(ToQt(DownloadDirectory()));
    dialog.selectFile(ToQt(proposedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return FromQt(dialog.selectedFiles().front());
}

void TQtUserInterface::OpenUrl(const std::string& url)
{
    if (IsLinkForDesktop(url))
        QDesktopServices::openUrl(QUrl(ToQt(url)));
}

void TQtUserInterface::Beep()
{
    QApplication::beep();
}
