#include "UserInterfaceQt.h"

#include "FileLocations.h"
#include "QtText.h"
#include "fmMain.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QUrl>

std::unique_ptr<QMessageBox> CreateErrorBox(const std::string& message, const QWidget* owner)
{
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Critical);
    box->setWindowTitle("Error");
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQt(message));
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    cancel->setText("Cancel");
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    if (owner)
        box->move(owner->pos() + QPoint(50, 50));
    return box;
}

std::unique_ptr<QMessageBox> CreateQuestionBox(const std::string& caption, const std::string& question)
{
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(ToQt(caption));
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQt(question));
    box->addButton(QMessageBox::Yes)->setText("&Yes");
    box->addButton(QMessageBox::No)->setText("&No");
    box->setDefaultButton(QMessageBox::Yes);
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
