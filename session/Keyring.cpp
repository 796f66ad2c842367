#include "Keyring.h"

#include "Convert.h"
#include "QtText.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <memory>

namespace {

const QString Service = QStringLiteral("kormoran");
int TimeoutMs = DefaultKeyringTimeoutMs;

const std::string NoEventLoop = "Klíčenka není k dispozici: program nemá smyčku událostí.";
const std::string NoAnswer = "Klíčenka neodpověděla do %d ms.";
const std::string KeyringFailed = "Klíčenka odmítla požadavek: ";
const std::string ReadBackDiffers = "Klíčenka vrátila pro účet %s jiné heslo, než jaké do ní bylo uloženo.";

std::string Escaped(const std::string& part)
{
    std::string text;
    for (char c : part) {
        if (c == '%' || c == '@' || c == '/') {
            static const char digits[] = "0123456789ABCDEF";
            text += '%';
            text += digits[(static_cast<unsigned char>(c) >> 4) & 15];
            text += digits[static_cast<unsigned char>(c) & 15];
        } else {
            text += c;
        }
    }
    return text;
}

std::string Replaced(std::string text, const std::string& value)
{
    const size_t at = text.find("%s") != std::string::npos ? text.find("%s") : text.find("%d");
    return at == std::string::npos ? text : text.replace(at, 2, value);
}

// Runs the job to its end on this thread; a job that does not end in time is left to
// delete itself whenever it does.
void Run(QKeychain::Job* job)
{
    if (!QCoreApplication::instance()) {
        delete job;
        throw EKeyringError(NoEventLoop);
    }
    bool finished = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    job->setAutoDelete(false);
    job->start();
    timer.start(TimeoutMs);
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        job->setAutoDelete(true);
        throw EKeyringError(Replaced(NoAnswer, std::to_string(TimeoutMs)), true);
    }
}

// The job's failure as an exception; the caller deletes the job.
void RaiseFailure(const QKeychain::Job& job)
{
    throw EKeyringError(KeyringFailed + FromQt(job.errorString()));
}

} // namespace

TKeyringAccount KeyringAccountOf(const TAccountLines& lines)
{
    return {lines.Address, ParseHostLine(lines.Host, StrToIntDef(lines.Port, 110)).Host, lines.User};
}

std::string KeyringKey(const TKeyringAccount& account)
{
    return "pop3://" + Escaped(account.User) + "@" + Escaped(account.Host) + "/" + Escaped(account.Address);
}

std::optional<std::string> ReadKeyringPassword(const TKeyringAccount& account)
{
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(ToQt(KeyringKey(account)));
    Run(job);
    std::unique_ptr<QKeychain::ReadPasswordJob> owned(job);
    if (job->error() == QKeychain::EntryNotFound)
        return std::nullopt;
    if (job->error() != QKeychain::NoError)
        RaiseFailure(*job);
    return FromQt(job->textData());
}

void WriteKeyringPassword(const TKeyringAccount& account, const std::string& password)
{
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(ToQt(KeyringKey(account)));
    job->setTextData(ToQt(password));
    Run(job);
    std::unique_ptr<QKeychain::WritePasswordJob> owned(job);
    if (job->error() != QKeychain::NoError)
        RaiseFailure(*job);
}

void DeleteKeyringPassword(const TKeyringAccount& account)
{
    auto* job = new QKeychain::DeletePasswordJob(Service);
    job->setKey(ToQt(KeyringKey(account)));
    Run(job);
    std::unique_ptr<QKeychain::DeletePasswordJob> owned(job);
    if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
        RaiseFailure(*job);
}

std::string KeyringPasswordOrNothing(const TKeyringAccount& account)
{
    try {
        return ReadKeyringPassword(account).value_or(std::string());
    } catch (const EKeyringError&) {
        return {};
    }
}

void ForgetKeyringPassword(const TKeyringAccount& account)
{
    try {
        DeleteKeyringPassword(account);
    } catch (const EKeyringError&) {
    }
}

bool KeyringAvailable()
{
    try {
        ReadKeyringPassword({"", "", ""});
        return true;
    } catch (const EKeyringError&) {
        return false;
    }
}

void SetKeyringTimeout(int milliseconds)
{
    TimeoutMs = milliseconds;
}

std::string MovePasswordsToKeyring(std::vector<TAccountLines>& accounts)
{
    for (TAccountLines& lines : accounts) {
        if (lines.Password.empty())
            continue;
        const TKeyringAccount account = KeyringAccountOf(lines);
        try {
            WriteKeyringPassword(account, lines.Password);
            if (ReadKeyringPassword(account) != lines.Password)
                return Replaced(ReadBackDiffers, lines.Address);
        } catch (const EKeyringError& failure) {
            return failure.Message;
        }
        lines.Password.clear();
    }
    return {};
}

std::string AccountPassword(const TKeyringAccount& account, const std::string& recordPassword)
{
    if (!recordPassword.empty())
        return recordPassword;
    return ReadKeyringPassword(account).value_or(std::string());
}
