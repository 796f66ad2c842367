#include "OAuth2Page.h"

#include "CzechText.h"
#include "Exception.h"
#include "OAuth2Providers.h"
#include "OAuth2SignIn.h"
#include "QtText.h"
#include "SignInRunner.h"
#include "UserInterface.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <tuple>

namespace {

struct TKnownProvider {
    const char* Name;
    const char* Caption;
    const char* Host;
};

// In the order of the provider choice; "vlastní" follows them.
const TKnownProvider KnownProviders[] = {
    {"microsoft", "Microsoft", "outlook.office365.com"},
    {"google", "Google", "pop.gmail.com"},
    {"seznam", "Seznam", "pop3.seznam.cz"},
};
constexpr int CustomIndex = 3;
const char* const CustomProvider = "custom";

const char* const SignInButtonText = "Přihlásit &v prohlížeči";
const char* const CancelSignInText = "Přerušit přihlášení";
const char* const WaitingForBrowserText = "Dokončete přihlášení v prohlížeči, který se právě otevřel.";
const char* const OpenedText =
    "Dokončete přihlášení v prohlížeči. Pokud se neotevřel, otevřete v něm tuto adresu:";
const char* const SignedInText = "Účet je přihlášen.";
const char* const NotSignedInText = "Účet zatím není přihlášen.";
const char* const SignInCutShortText = "Přihlášení bylo přerušeno.";
const char* const SignInFailedText = "Přihlášení se nezdařilo.";

std::string EmptyForSignInMessage(const std::string& field)
{
    return "Vyplňte na kartě „OAuth2“ pole „" + field + "“, bez něj se nelze přihlásit.";
}

int IndexOfProvider(const std::string& provider)
{
    for (int index = 0; index < CustomIndex; ++index)
        if (provider == KnownProviders[index].Name)
            return index;
    return CustomIndex;
}

std::string Trimmed(const QLineEdit* field)
{
    return FromQt(field->text().trimmed());
}

bool SameEntry(const TOAuth2ClientEntry& a, const TOAuth2ClientEntry& b)
{
    return std::tie(a.ClientId, a.ClientSecret, a.AuthorizationUrl, a.TokenUrl, a.DeviceUrl, a.Scope, a.Mechanisms) ==
           std::tie(b.ClientId, b.ClientSecret, b.AuthorizationUrl, b.TokenUrl, b.DeviceUrl, b.Scope, b.Mechanisms);
}

void AddField(QGridLayout* grid, int row, const char* caption, QWidget* field)
{
    auto* label = new QLabel(Czech(caption));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

} // namespace

TOAuth2Page::TOAuth2Page(QWidget* parent) : QWidget(parent)
{
    cbProvider = new QComboBox(this);
    for (const TKnownProvider& known : KnownProviders)
        cbProvider->addItem(Czech(known.Caption));
    cbProvider->addItem(Czech("vlastní"));
    eClientId = new QLineEdit(this);
    eClientSecret = new QLineEdit(this);
    eAuthorizationUrl = new QLineEdit(this);
    eTokenUrl = new QLineEdit(this);
    eScope = new QLineEdit(this);
    bSignIn = new QPushButton(Czech(SignInButtonText), this);
    bSignIn->setAutoDefault(false);
    bSignIn->hide();
    lSignInState = new QLabel(this);
    lSignInState->setWordWrap(true);
    eSignInUrl = new QLineEdit(this);
    eSignInUrl->setReadOnly(true);
    eSignInUrl->hide();
    auto* registration = new QLabel(
        Czech("ID klienta získáte registrací programu u poskytovatele (postup popisuje nápověda, klávesa F1). "
              "Prázdné pole použije ID, které přišlo s instalací programu."),
        this);
    registration->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    AddField(grid, 0, "Posk&ytovatel:", cbProvider);
    AddField(grid, 1, "I&D klienta:", eClientId);
    AddField(grid, 2, "&Tajemství klienta:", eClientSecret);
    grid->addWidget(registration, 3, 1);
    AddField(grid, 4, "Adresa přih&lášení:", eAuthorizationUrl);
    AddField(grid, 5, "Adresa to&kenů:", eTokenUrl);
    AddField(grid, 6, "&Rozsah:", eScope);
    grid->addWidget(bSignIn, 7, 1, Qt::AlignLeft);
    grid->addWidget(lSignInState, 8, 1);
    grid->addWidget(eSignInUrl, 9, 1);
    grid->setRowStretch(10, 1);

    // Activated only by the user: a provider picked by the program keeps what is typed.
    connect(cbProvider, &QComboBox::activated, this, [this] { SetProvider(Provider()); });
    connect(bSignIn, &QPushButton::clicked, this, &TOAuth2Page::bSignInClick);
    ShowEndpoints();
}

std::string TOAuth2Page::Provider() const
{
    const int index = cbProvider->currentIndex();
    return index >= 0 && index < CustomIndex ? KnownProviders[index].Name : CustomProvider;
}

std::string TOAuth2Page::ProviderHost() const
{
    const int index = cbProvider->currentIndex();
    return index >= 0 && index < CustomIndex ? KnownProviders[index].Host : "";
}

void TOAuth2Page::ShowClient(const std::string& host)
{
    FHost = host;
    // Endpoints of the user's own for a known provider's server make it a provider of
    // the user's own.
    const TOAuth2ClientEntry own = host.empty() ? TOAuth2ClientEntry{} : ReadUserOAuth2Client(host);
    const bool ownEndpoints = !own.AuthorizationUrl.empty() || !own.TokenUrl.empty();
    cbProvider->setCurrentIndex(IndexOfProvider(ownEndpoints ? CustomProvider : OAuth2ProviderOf(host)));
    ShowEndpoints();
}

void TOAuth2Page::SetProvider(const std::string& provider)
{
    cbProvider->setCurrentIndex(IndexOfProvider(provider));
    // The editor moves the server to the provider's; the settings are that server's.
    if (!ProviderHost().empty())
        FHost = ProviderHost();
    ShowEndpoints();
}

void TOAuth2Page::FollowHost(const std::string& host)
{
    FHost = host;
    const std::string provider = OAuth2ProviderOf(host);
    if (provider != CustomProvider && provider != Provider())
        SetProvider(provider);
}

std::string TOAuth2Page::Section(const std::string& host) const
{
    const std::string provider = Provider();
    if (provider != CustomProvider && OAuth2ProviderOf(host) == provider)
        return OAuth2ClientSection(host);
    return host;
}

// A known provider's endpoints are the program's, shown as they are; for a provider of
// the user's own the fields hold the user's file, with what a distribution installed
// shown greyed where the user has nothing.
void TOAuth2Page::ShowEndpoints()
{
    const std::string section = Section(FHost);
    const TOAuth2ClientEntry entry = section.empty() ? TOAuth2ClientEntry{} : ReadUserOAuth2Client(section);
    const bool custom = Provider() == CustomProvider;
    const TOAuth2Client installed = OAuth2ClientFor(custom ? FHost : ProviderHost());
    eClientId->setText(ToQt(entry.ClientId));
    eClientId->setPlaceholderText(entry.ClientId.empty() && !installed.ClientId.empty()
                                      ? Czech("z instalace programu")
                                      : QString());
    eClientSecret->setText(ToQt(entry.ClientSecret));
    eClientSecret->setPlaceholderText(Czech("nepovinné"));
    const std::pair<QLineEdit*, std::pair<std::string, std::string>> endpoints[] = {
        {eAuthorizationUrl, {entry.AuthorizationUrl, installed.AuthorizationUrl}},
        {eTokenUrl, {entry.TokenUrl, installed.TokenUrl}},
        {eScope, {entry.Scope, installed.Scope}},
    };
    for (const auto& [field, values] : endpoints) {
        field->setEnabled(custom);
        field->setText(ToQt(custom ? values.first : values.second));
        field->setPlaceholderText(custom ? ToQt(values.second) : QString());
        field->setCursorPosition(0);
    }
}

std::string TOAuth2Page::MissingField() const
{
    // A greyed text stands for what the installation gives.
    const std::pair<const char*, const QLineEdit*> needed[] = {
        {"ID klienta", eClientId}, {"Adresa přihlášení", eAuthorizationUrl}, {"Adresa tokenů", eTokenUrl}};
    for (const auto& [caption, field] : needed)
        if (field->text().trimmed().isEmpty() && field->placeholderText().isEmpty())
            return caption;
    return "";
}

void TOAuth2Page::SaveClient(const std::string& host) const
{
    const std::string section = Section(host);
    if (section.empty())
        return;
    const TOAuth2ClientEntry before = ReadUserOAuth2Client(section);
    TOAuth2ClientEntry entry = before;
    entry.ClientId = Trimmed(eClientId);
    entry.ClientSecret = Trimmed(eClientSecret);
    // A host's own section carries the endpoints, also a known provider's picked for a
    // server of another name.
    if (section == host) {
        entry.AuthorizationUrl = Trimmed(eAuthorizationUrl);
        entry.TokenUrl = Trimmed(eTokenUrl);
        entry.Scope = Trimmed(eScope);
    }
    if (!SameEntry(entry, before))
        WriteUserOAuth2Client(section, entry);
}

void TOAuth2Page::SetSignInRunner(TSignInRunner* runner)
{
    FSignInRunner = runner;
    bSignIn->setVisible(runner != nullptr);
}

void TOAuth2Page::ShowSignInState(const TPOP3Rec& account)
{
    bool signedIn = false;
    try {
        signedIn = account.Login == lmOAuth2 && !account.Address.empty() && SignedIn(account);
    } catch (const Exception&) {
        // A keyring that does not answer: the account counts as not signed in.
    }
    lSignInState->setText(Czech(signedIn ? SignedInText : NotSignedInText));
}

void TOAuth2Page::bSignInClick()
{
    if (FSigningIn) {
        CancelSignIn();
        return;
    }
    const std::optional<TPOP3Rec> account = FSignInRunner && AccountToSignIn ? AccountToSignIn() : std::nullopt;
    if (!account)
        return;
    const std::string missing = MissingField();
    if (!missing.empty()) {
        UserInterface().ShowError(EmptyForSignInMessage(missing));
        return;
    }
    try {
        SaveClient(account->Host);
    } catch (const Exception& failure) {
        UserInterface().ShowError(failure.Message);
        return;
    }
    FSigningIn = true;
    bSignIn->setText(Czech(CancelSignInText));
    lSignInState->setText(Czech(WaitingForBrowserText));
    QPointer<TOAuth2Page> self(this);
    const auto opened = [self](const std::string& url) {
        if (self && self->FSigningIn)
            self->ShowOpenedUrl(url);
    };
    FSignInRunner->StartSignIn(*account, opened, [self, account = *account](std::exception_ptr failure) {
        if (self)
            self->SignInEnded(account, failure);
    });
}

void TOAuth2Page::CancelSignIn()
{
    if (FSigningIn)
        FSignInRunner->CancelSignIn();
}

void TOAuth2Page::ShowOpenedUrl(const std::string& url)
{
    lSignInState->setText(Czech(OpenedText));
    eSignInUrl->setText(ToQt(url));
    eSignInUrl->setCursorPosition(0);
    eSignInUrl->show();
}

void TOAuth2Page::SignInEnded(const TPOP3Rec& account, std::exception_ptr failure)
{
    FSigningIn = false;
    eSignInUrl->hide();
    eSignInUrl->clear();
    bSignIn->setText(Czech(SignInButtonText));
    const char* state = SignedInText;
    try {
        if (failure)
            std::rethrow_exception(failure);
        FSignedIn = account;
    } catch (const EOperationCancelled&) {
        state = SignInCutShortText;
    } catch (...) {
        // The runner has shown what went wrong.
        state = SignInFailedText;
    }
    lSignInState->setText(Czech(state));
}
