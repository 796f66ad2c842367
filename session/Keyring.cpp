#include "Keyring.h"

#include "Convert.h"
#include "QtText.h"

#include "IdWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace {

const QString Service = QStringLiteral("kormoran");
int TimeoutMs = DefaultKeyringTimeoutMs;
std::function<void()> ApplicationMaker;

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
    if (!QCoreApplication::instance() && ApplicationMaker)
        ApplicationMaker();
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

namespace {

// Runs call on the application's thread and gives back what it gave or raised. The state
// is shared, so a call that comes too late finds it still there.
template <class Result>
Result OnApplicationThread(std::function<Result()> call)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread())
        return call();
    struct TState {
        std::mutex Lock;
        std::condition_variable Done;
        bool Finished = false;
        std::optional<Result> Value;
        std::exception_ptr Failure;
    };
    auto state = std::make_shared<TState>();
    QMetaObject::invokeMethod(
        application,
        [state, call] {
            std::optional<Result> value;
            std::exception_ptr failure;
            try {
                value = call();
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> guard(state->Lock);
            state->Value = std::move(value);
            state->Failure = failure;
            state->Finished = true;
            state->Done.notify_all();
        },
        Qt::QueuedConnection);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs + 1000);
    std::unique_lock<std::mutex> lock(state->Lock);
    while (!state->Finished) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw EKeyringError(Replaced(NoAnswer, std::to_string(TimeoutMs)), true);
        state->Done.wait_for(lock, std::chrono::milliseconds(WaitSliceMs));
        lock.unlock();
        RunWaitHook();
        lock.lock();
    }
    if (state->Failure)
        std::rethrow_exception(state->Failure);
    return std::move(*state->Value);
}

std::optional<std::string> ReadItem(const std::string& key)
{
    return OnApplicationThread<std::optional<std::string>>([key] {
        auto* job = new QKeychain::ReadPasswordJob(Service);
        job->setKey(ToQt(key));
        Run(job);
        std::unique_ptr<QKeychain::ReadPasswordJob> owned(job);
        if (job->error() == QKeychain::EntryNotFound)
            return std::optional<std::string>();
        if (job->error() != QKeychain::NoError)
            RaiseFailure(*job);
        return std::optional<std::string>(FromQt(job->textData()));
    });
}

void WriteItem(const std::string& key, const std::string& secret)
{
    OnApplicationThread<bool>([key, secret] {
        auto* job = new QKeychain::WritePasswordJob(Service);
        job->setKey(ToQt(key));
        job->setTextData(ToQt(secret));
        Run(job);
        std::unique_ptr<QKeychain::WritePasswordJob> owned(job);
        if (job->error() != QKeychain::NoError)
            RaiseFailure(*job);
        return true;
    });
}

void DeleteItem(const std::string& key)
{
    OnApplicationThread<bool>([key] {
        auto* job = new QKeychain::DeletePasswordJob(Service);
        job->setKey(ToQt(key));
        Run(job);
        std::unique_ptr<QKeychain::DeletePasswordJob> owned(job);
        if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
            RaiseFailure(*job);
        return true;
    });
}

} // namespace

std::optional<std::string> ReadKeyringPassword(const TKeyringAccount& account)
{
    return ReadItem(KeyringKey(account));
}

void WriteKeyringPassword(const TKeyringAccount& account, const std::string& password)
{
    WriteItem(KeyringKey(account), password);
}

void DeleteKeyringPassword(const TKeyringAccount& account)
{
    DeleteItem(KeyringKey(account));
}

std::string RefreshTokenKey(const TKeyringAccount& account)
{
    return "oauth2://" + Escaped(account.User) + "@" + Escaped(account.Host) + "/" + Escaped(account.Address);
}

std::optional<std::string> ReadKeyringRefreshToken(const TKeyringAccount& account)
{
    return ReadItem(RefreshTokenKey(account));
}

void WriteKeyringRefreshToken(const TKeyringAccount& account, const std::string& token)
{
    WriteItem(RefreshTokenKey(account), token);
}

void DeleteKeyringRefreshToken(const TKeyringAccount& account)
{
    DeleteItem(RefreshTokenKey(account));
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

void SetKeyringApplicationMaker(std::function<void()> make)
{
    ApplicationMaker = std::move(make);
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
