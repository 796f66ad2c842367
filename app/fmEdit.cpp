#include "fmEdit.h"

#include "AccountFile.h"
#include "CzechText.h"
#include "Cp1250.h"
#include "FontFit.h"
#include "HelpFile.h"
#include "Icons.h"
#include "Keyring.h"
#include "ModalRunner.h"
#include "OAuth2Page.h"
#include "OAuth2SignIn.h"
#include "PortEdit.h"
#include "Providers.h"
#include "QtText.h"
#include "UserInterface.h"
#include "fmHelp.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const int AccountEditorTopic = 10;
const TIdConnectionSecurity SecurityOfIndex[] = {csImplicitTls, csStartTls, csNone};
const TLoginMethod LoginOfIndex[] = {lmPassword, lmOAuth2};
constexpr int OAuth2Tab = 1;
constexpr int32_t PlainPort = 110;
constexpr int32_t ImplicitTlsPort = 995;

// accounts.dat is Windows-1250, so a text it cannot hold is refused here rather than
// stored with "?" in place of what was typed. The message does not repeat the
// character: it may be part of the password.
std::string OutsideAccountFileMessage(const char* field)
{
    return std::string("Pole „") + field +
           "“ obsahuje znak, který soubor účtů neumí uložit (kódování Windows-1250). Opravte ho, prosím.";
}

std::string EmptyFieldMessage(const char* field)
{
    return std::string("Vyplňte pole „") + field + "“, bez něj nelze účet uložit.";
}

// The keyring keeps a refresh token under the account's address, server and user.
bool SameSignIn(const TPOP3Rec& a, const TPOP3Rec& b)
{
    return a.Address == b.Address && a.Host == b.Host && a.User == b.User && a.Login == b.Login;
}

const char* const PlainPasswordWarning = "Heslo půjde po síti nešifrované; kdokoli na cestě ho může přečíst.";

QFrame* Rule(QWidget* parent)
{
    auto* rule = new QFrame(parent);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return rule;
}

// A caption right-aligned to the left of its field, in the grid row; its "&" marks the
// access key that moves to the field.
void AddField(QGridLayout* grid, int row, int column, const char* caption, QWidget* field, int span = 1)
{
    auto* label = new QLabel(Czech(caption));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1, 1, span);
}

} // namespace

Tfedit::Tfedit(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Czech("e-Mail účet"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(358, 398);
    setFont(QFont("MS Sans Serif", 8));

    PageControl = new QTabWidget(this);
    PageControl->addTab(BuildGeneralPage(), Czech("&Obecné"));
    OAuth2Page = new TOAuth2Page(PageControl);
    PageControl->addTab(OAuth2Page, Czech("O&Auth2"));
    auto* hint = new QLabel("F1 - pomoc", this);
    Button1 = new QPushButton("OK", this);
    Button1->setDefault(true);
    CancelButton = new QPushButton(Czech("Zrušit"), this);
    CancelButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(hint);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    layout->addLayout(buttons);

    setTabOrder(eAddress, eUser);
    setTabOrder(eUser, cbLogin);
    setTabOrder(cbLogin, ePassw);
    setTabOrder(ePassw, eHost);
    setTabOrder(eHost, cbSecurity);
    setTabOrder(cbSecurity, ePort);
    setTabOrder(ePort, Button1);
    setTabOrder(Button1, CancelButton);

    connect(Button1, &QPushButton::clicked, this, &Tfedit::Button1Click);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbSecurity, &QComboBox::currentIndexChanged, this, &Tfedit::cbSecurityChange);
    connect(cbLogin, &QComboBox::currentIndexChanged, this, &Tfedit::cbLoginChange);
    connect(cbLogin, &QComboBox::activated, this, [this] { FLoginPicked = true; });
    connect(OAuth2Page->cbProvider, &QComboBox::activated, this, &Tfedit::cbProviderChange);
    OAuth2Page->AccountToSignIn = [this]() -> std::optional<TPOP3Rec> {
        if (!FieldsFitTheFile())
            return std::nullopt;
        return FieldsRecord();
    };
    connect(eHost, &QLineEdit::textEdited, this, [this] { OAuth2Page->FollowHost(FieldsRecord().Host); });
    connect(eAddress, &QLineEdit::textEdited, this, &Tfedit::eAddressChange);
    eAddress->installEventFilter(this);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { ShowHelpTopic(FHelpFile, AccountEditorTopic); });
    FormCreate();
    cbLoginChange();
    FitToFont();
    // Typing starts in the address field, not on the tab.
    eAddress->setFocus();
}

void Tfedit::FitToFont()
{
    const QSize needed = sizeHint();
    setFixedSize(std::max(Fitted(358, *this), needed.width()), std::max(Fitted(398, *this), needed.height()));
}

QWidget* Tfedit::BuildGeneralPage()
{
    auto* page = new QWidget;
    auto* icon = new QLabel(page);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* heading = new QLabel(Czech("e-Mail účet vlastnosti"), page);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    eAddress = new QLineEdit(page);
    eAddress->setFont(bold);
    eUser = new QLineEdit(page);
    cbLogin = new QComboBox(page);
    for (const char* choice : {"Heslo", "OAuth2"})
        cbLogin->addItem(Czech(choice));
    ePassw = new QLineEdit(page);
    ePassw->setEchoMode(QLineEdit::Password);
    eHost = new QLineEdit(page);
    cbSecurity = new QComboBox(page);
    for (const char* choice : {"SSL/TLS", "STARTTLS", "Žádné"})
        cbSecurity->addItem(Czech(choice));
    ePort = new TPortEdit(page);
    ePort->setFixedWidth(70);

    auto* grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);
    grid->addWidget(icon, 0, 0, Qt::AlignRight);
    grid->addWidget(heading, 0, 1, 1, 3);
    grid->addWidget(Rule(page), 1, 0, 1, 4);
    PlainWarning = new QLabel(Czech(PlainPasswordWarning), page);
    PlainWarning->setWordWrap(true);
    PlainWarning->setStyleSheet("color: #b00000;");
    QSizePolicy keepsRoom = PlainWarning->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    PlainWarning->setSizePolicy(keepsRoom);
    PlainWarning->hide();

    AddField(grid, 2, 0, "&e-Mail adresa:", eAddress, 3);
    grid->addWidget(Rule(page), 3, 0, 1, 4);
    AddField(grid, 4, 0, "&Uživatelské jméno:", eUser);
    AddField(grid, 5, 0, "Př&ihlášení:", cbLogin);
    AddField(grid, 6, 0, "&Heslo:", ePassw);
    grid->addWidget(Rule(page), 7, 0, 1, 4);
    AddField(grid, 8, 0, "POP3 &server:", eHost, 3);
    AddField(grid, 9, 0, "&Zabezpečení", cbSecurity);
    AddField(grid, 10, 0, "&Port", ePort);
    grid->addWidget(PlainWarning, 11, 1, 1, 3);
    lPasswordPlace = new QLabel(page);
    lPasswordPlace->setWordWrap(true);
    grid->addWidget(lPasswordPlace, 12, 1, 1, 3);
    lProviderHint = new QLabel(page);
    lProviderHint->setWordWrap(true);
    grid->addWidget(lProviderHint, 13, 1, 1, 3);
    // Their texts come later; the dialog's size keeps two lines for each.
    for (QLabel* later : {lPasswordPlace, lProviderHint})
        later->setMinimumHeight(2 * later->fontMetrics().lineSpacing());
    grid->setRowStretch(14, 1);
    return page;
}

void Tfedit::FormCreate()
{
    FHelpFile = ApplicationHelpFile();
}

void Tfedit::Button1Click()
{
    if (!FieldsFitTheFile())
        return;
    if (Login() == lmOAuth2) {
        try {
            OAuth2Page->SaveClient(FieldsRecord().Host);
        } catch (const Exception& failure) {
            UserInterface().ShowError(failure.Message);
            return;
        }
    }
    accept();
}

bool Tfedit::FieldsFitTheFile()
{
    if (eAddress->text().isEmpty()) {
        PageControl->setCurrentIndex(0);
        eAddress->setFocus();
        UserInterface().ShowError(EmptyFieldMessage("e-Mail adresa"));
        return false;
    }
    const std::pair<const char*, QLineEdit*> fields[] = {
        {"e-Mail adresa", eAddress}, {"Uživatelské jméno", eUser}, {"Heslo", ePassw}, {"POP3 server", eHost}};
    for (const auto& [caption, field] : fields) {
        if (!FirstCharacterOutsideCp1250(FromQt(field->text())).empty()) {
            PageControl->setCurrentIndex(0);
            field->setFocus();
            UserInterface().ShowError(OutsideAccountFileMessage(caption));
            return false;
        }
    }
    return true;
}

void Tfedit::eAddressExit()
{
    const std::string address = FromQt(eAddress->text());
    size_t at = address.find('@');
    if (at == std::string::npos || at == 0)
        return;
    if (eUser->text().isEmpty())
        eUser->setText(ToQt(address.substr(0, at)));
    if (eHost->text().isEmpty())
        eHost->setText(ToQt(address.substr(at + 1)));
}

void Tfedit::cbSecurityChange()
{
    ShowPlainWarning();
    if (Security() == csImplicitTls && ePort->Value() == PlainPort)
        ePort->SetValue(ImplicitTlsPort);
    else if (Security() != csImplicitTls && ePort->Value() == ImplicitTlsPort)
        ePort->SetValue(PlainPort);
}

TIdConnectionSecurity Tfedit::Security() const
{
    const int index = cbSecurity->currentIndex();
    return index >= 0 && index < 3 ? SecurityOfIndex[index] : csNone;
}

void Tfedit::SetSecurity(TIdConnectionSecurity security)
{
    for (int index = 0; index < 3; ++index)
        if (SecurityOfIndex[index] == security)
            cbSecurity->setCurrentIndex(index);
    ShowPlainWarning();
}

void Tfedit::ShowPlainWarning()
{
    PlainWarning->setVisible(Security() == csNone);
}

void Tfedit::eAddressChange()
{
    const std::string address = FromQt(eAddress->text());
    const size_t at = address.find('@');
    const TProviderPreset* preset = at == std::string::npos ? nullptr : Providers().Find(address);
    lProviderHint->setText(preset ? ToQt(HintText(*preset)) : QString());
    if (!preset || preset->Host.empty())
        return;
    if (!FLoginPicked)
        SetLogin(preset->Login == "oauth2" ? lmOAuth2 : lmPassword);
    if (eHost->text().isEmpty() || eHost->text() == FPresetHost) {
        FPresetHost = ToQt(preset->Host);
        eHost->setText(FPresetHost);
        const QSignalBlocker presetChoice(cbSecurity);
        SetSecurity(preset->Security);
        ePort->SetValue(preset->Port);
        OAuth2Page->FollowHost(preset->Host);
    }
    if (eUser->text().isEmpty() || eUser->text() == FPresetUser) {
        FPresetUser = ToQt(preset->UserIsLocalPart ? address.substr(0, at) : address);
        eUser->setText(FPresetUser);
    }
}

void Tfedit::ShowPasswordPlace(bool keyring)
{
    FKeyring = keyring;
    ShowLoginPlace();
}

void Tfedit::ShowLoginPlace()
{
    if (Login() == lmOAuth2)
        lPasswordPlace->setText(Czech("Heslo se nepotřebuje: účet se přihlašuje na kartě „OAuth2“."));
    else
        lPasswordPlace->setText(Czech(FKeyring ? "Heslo se uloží do klíčenky systému."
                                               : "Heslo se uloží do souboru accounts.dat (klíčenka systému "
                                                 "není k dispozici)."));
}

TLoginMethod Tfedit::Login() const
{
    return cbLogin->currentIndex() == 1 ? lmOAuth2 : lmPassword;
}

void Tfedit::SetLogin(TLoginMethod login)
{
    for (int index = 0; index < 2; ++index)
        if (LoginOfIndex[index] == login)
            cbLogin->setCurrentIndex(index);
}

void Tfedit::KeepLogin(TLoginMethod login)
{
    SetLogin(login);
    FLoginPicked = true;
}

void Tfedit::cbLoginChange()
{
    const bool oauth2 = Login() == lmOAuth2;
    ePassw->setEnabled(!oauth2);
    PageControl->setTabEnabled(OAuth2Tab, oauth2);
    ShowLoginPlace();
}

void Tfedit::cbProviderChange()
{
    const std::string host = OAuth2Page->ProviderHost();
    if (host.empty() || FieldsRecord().Host == host)
        return;
    eHost->setText(ToQt(host));
    const QSignalBlocker providerChoice(cbSecurity);
    SetSecurity(csImplicitTls);
    ePort->SetValue(ImplicitTlsPort);
}

TPOP3Rec Tfedit::FieldsRecord() const
{
    TPOP3Rec account;
    account.Address = FromQt(eAddress->text());
    const std::string typedHost = FromQt(eHost->text());
    const THostLine host = ParseHostLine(typedHost, ePort->Value());
    account.Host = host.Host;
    account.Security = host.Host == typedHost ? Security() : host.Security;
    account.User = FromQt(eUser->text());
    account.Login = Login();
    // An OAuth2 account keeps no password: what the field still holds stays behind.
    account.Password = account.Login == lmOAuth2 ? "" : FromQt(ePassw->text());
    account.Port = ePort->Value();
    return account;
}

bool Tfedit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == eAddress && event->type() == QEvent::FocusOut)
        eAddressExit();
    return QDialog::eventFilter(watched, event);
}

bool EditAccountDialog(TPOP3Rec& account, const std::string& caption, TSignInRunner* signIn)
{
    Tfedit fedit(QApplication::activeWindow());
    fedit.setWindowTitle(ToQt(caption));
    fedit.eAddress->setText(ToQt(account.Address));
    fedit.eHost->setText(ToQt(account.Host));
    fedit.eUser->setText(ToQt(account.User));
    fedit.ePassw->setText(ToQt(account.Password));
    {
        // The stored port stays as it is, whatever the choice rule would make of it.
        const QSignalBlocker loading(fedit.cbSecurity);
        fedit.SetSecurity(account.Security);
    }
    fedit.ePort->SetValue(account.Port);
    if (account.Address.empty())
        fedit.SetLogin(account.Login);
    else
        fedit.KeepLogin(account.Login);
    fedit.OAuth2Page->ShowClient(account.Host);
    fedit.OAuth2Page->SetSignInRunner(signIn);
    fedit.OAuth2Page->ShowSignInState(account);
    fedit.ShowPasswordPlace(KeyringAvailable());
    const bool accepted = RunModal(fedit) == QDialog::Accepted;
    fedit.OAuth2Page->CancelSignIn();
    const TPOP3Rec kept = accepted ? fedit.FieldsRecord() : account;
    if (const std::optional<TPOP3Rec>& signedIn = fedit.OAuth2Page->SignedInAccount(); signedIn && !SameSignIn(*signedIn, kept))
        ForgetSignIn(*signedIn);
    if (accepted)
        account = kept;
    return accepted;
}

void ForgetSignIn(const TPOP3Rec& account)
{
    try {
        SignOut(account);
    } catch (const EKeyringError&) {
    }
}
