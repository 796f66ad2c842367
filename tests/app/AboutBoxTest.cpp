#include "AppFixture.h"

#include "LinkLabel.h"
#include "QtText.h"
#include "fmAbout.h"

#include <QPushButton>
#include <QTest>

namespace {

class AboutBoxTest : public AppFixture {
protected:
    TAboutBox AboutBox{nullptr};
};

TEST_F(AboutBoxTest, ShowsNameVersionAndDescription)
{
    EXPECT_EQ(FromQt(AboutBox.windowTitle()), "O programu...");
    EXPECT_EQ(FromQt(AboutBox.ProductName->text()), "Volavka");
    EXPECT_EQ(FromQt(AboutBox.Comments->text()),
              "Verze " KORMORAN_VERSION "\n"
              "Kontrola zpráv na POP3 serveru s možností vymazat zprávu přímo na serveru, bez nutnosti stahování. "
              "Dále umožňuje bezpečné stažení příloh tím, že žádnou z nich se nepokouší spustit.");
}

TEST_F(AboutBoxTest, LinksGoToTheDesktop)
{
    AboutBox.show();
    QTest::mouseClick(AboutBox.www, Qt::LeftButton);
    QTest::mouseClick(AboutBox.eml, Qt::LeftButton);
    ASSERT_EQ(Ui.Urls.size(), 2u);
    EXPECT_EQ(Ui.Urls[0], FromQt(AboutBox.www->text()));
    EXPECT_EQ(Ui.Urls[1], "mailto:" + FromQt(AboutBox.eml->text()));
    EXPECT_EQ(Ui.Urls[1].find(' '), std::string::npos);
}

TEST_F(AboutBoxTest, EveryWayOfClosingGivesOk)
{
    AboutBox.show();
    QTest::keyClick(&AboutBox, Qt::Key_Escape);
    EXPECT_EQ(AboutBox.result(), QDialog::Accepted);

    AboutBox.setResult(0);
    AboutBox.show();
    QTest::keyClick(&AboutBox, Qt::Key_Return);
    EXPECT_EQ(AboutBox.result(), QDialog::Accepted);

    AboutBox.setResult(0);
    AboutBox.show();
    QTest::mouseClick(AboutBox.OKButton, Qt::LeftButton);
    EXPECT_EQ(AboutBox.result(), QDialog::Accepted);

    AboutBox.setResult(0);
    AboutBox.show();
    AboutBox.close();
    EXPECT_EQ(AboutBox.result(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, ShowAboutBoxRunsANewBoxModally)
{
    ShowAboutBox();
    ShowAboutBox();
    EXPECT_EQ(Modal.Shown, (std::vector<std::string>{"O programu...", "O programu..."}));
}

} // namespace
