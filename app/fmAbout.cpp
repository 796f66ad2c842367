#include "fmAbout.h"

#include "CzechText.h"
#include "Icons.h"
#include "LinkLabel.h"
#include "ModalRunner.h"
#include "UserInterface.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const ProductNameText = "Volavka";
// The build's version, the one kormoran-cli --version and the package give.
const char* const CommentsText =
    "Verze " KORMORAN_VERSION "\n"
    "Kontrola zpráv na POP3 serveru s možností vymazat zprávu přímo na serveru, bez nutnosti stahování. "
    "Dále umožňuje bezpečné stažení příloh tím, že žádnou z nich se nepokouší spustit.";
const char* const MakerText = "© 2026 Projekt Kormoran";
const char* const WebText = "http://www.example.org/kormoran/";
const char* const MailText = "kormoran@example.org";

QFont TextFont(int points, bool bold)
{
    QFont font("Times New Roman", points);
    font.setBold(bold);
    return font;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Czech("O programu..."));
    setFixedSize(371, 252);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon = new QLabel(panel);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(32, 32));
    ProgramIcon->setFixedSize(32, 32);
    ProgramIcon->setScaledContents(true);
    ProductName = new QLabel(panel);
    ProductName->setFont(TextFont(16, true));
    auto* rule = new QFrame(panel);
    rule->setFrameStyle(QFrame::HLine | QFrame::Plain);
    rule->setFixedSize(300, 1);
    Comments = new QLabel(Czech(CommentsText), panel);
    Comments->setFont(TextFont(10, false));
    Comments->setWordWrap(true);
    Maker = new QLabel(Czech(MakerText), panel);
    Maker->setFont(TextFont(10, true));
    www = new TLinkLabel(Czech(WebText), Qt::blue, panel);
    www->setFont(TextFont(10, true));
    eml = new TLinkLabel(Czech(MailText), Qt::blue, panel);
    eml->setFont(TextFont(10, true));
    for (QLabel* link : {static_cast<QLabel*>(www), static_cast<QLabel*>(eml)}) {
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
    }

    auto* heading = new QHBoxLayout;
    heading->addWidget(ProgramIcon);
    heading->addSpacing(12);
    heading->addWidget(ProductName, 1);
    auto* texts = new QVBoxLayout(panel);
    texts->setContentsMargins(10, 6, 10, 6);
    texts->setSpacing(2);
    texts->addLayout(heading);
    texts->addWidget(rule);
    texts->addWidget(Comments);
    texts->addStretch(1);
    texts->addWidget(Maker);
    texts->addWidget(www);
    texts->addWidget(eml);

    OKButton = new QPushButton("OK", this);
    OKButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(www, &TLinkLabel::clicked, this, &TAboutBox::wwwClick);
    connect(eml, &TLinkLabel::clicked, this, &TAboutBox::emlClick);
    FormCreate();
}

void TAboutBox::FormCreate()
{
    ProductName->setText(ProductNameText);
}

void TAboutBox::wwwClick()
{
    UserInterface().OpenUrl(FromQt(www->text()));
}

void TAboutBox::emlClick()
{
    UserInterface().OpenUrl("mailto:" + FromQt(eml->text()));
}

void TAboutBox::reject()
{
    accept();
}

void ShowAboutBox()
{
    TAboutBox AboutBox(QApplication::activeWindow());
    RunModal(AboutBox);
}
