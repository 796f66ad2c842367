#include "UserInterfaceQt.h"

#include "KormoranApplication.h"
#include "QtText.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(ErrorBox, ShowsTheMessageUnchangedWithOneOkButtonInCzech)
{
    ASSERT_TRUE(InstallFrameworkTranslations());
    const std::string message = "Řádek jedna\n<b>dvě</b>\n\ntři";
    auto box = CreateErrorBox(message, nullptr);
    EXPECT_EQ(FromQt(box->windowTitle()), "Chyba");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(FromQt(box->text()), message);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().front()->text(), "OK");
}

TEST(ErrorBox, StandsFiftyPixelsInsideTheMainWindow)
{
    QWidget mainWindow;
    mainWindow.move(120, 80);
    auto box = CreateErrorBox("x", &mainWindow);
    EXPECT_EQ(box->pos(), QPoint(170, 130));
}

TEST(QuestionBox, AsksWithYesAndNoInCzech)
{
    ASSERT_TRUE(InstallFrameworkTranslations());
    auto box = CreateQuestionBox("Warning", "Vymazat účet, opravdu?");
    EXPECT_EQ(FromQt(box->windowTitle()), "Upozornění");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(FromQt(box->text()), "Vymazat účet, opravdu?");
    ASSERT_EQ(box->buttons().size(), 2);
    EXPECT_EQ(FromQt(box->button(QMessageBox::Yes)->text()), "&Ano");
    EXPECT_EQ(FromQt(box->button(QMessageBox::No)->text()), "&Ne");
    // Enter or Esc in a question before a destructive step does not carry it out.
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
    EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
}

TEST(DesktopLinks, OnlyWebAndMailLinksGoToTheDesktop)
{
    for (const char* link : {"http://www.example.org/", "HTTPS://example.org", "ftp://example.org/a", "mailto:a@example.org"})
        EXPECT_TRUE(IsLinkForDesktop(link)) << link;
    for (const char* link : {"file:///etc/passwd", "javascript:alert(1)", "/tmp/x.exe", "", "smb://host/share"})
        EXPECT_FALSE(IsLinkForDesktop(link)) << link;
}

TEST(FrameworkTexts, SpeakCzech)
{
    ASSERT_TRUE(InstallFrameworkTranslations());
    EXPECT_EQ(FromQt(QFileDialog::tr("&Open")), FromQt(QCoreApplication::translate("QFileDialog", "&Open")));
    EXPECT_EQ(FromQt(QCoreApplication::translate("QFileDialog", "Save As")), "Uložit jako");
    EXPECT_EQ(FromQt(QCoreApplication::translate("QPlatformTheme", "Cancel")), "Zrušit");
}

} // namespace
