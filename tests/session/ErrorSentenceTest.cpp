#include "ErrorSentence.h"

#include "Exception.h"
#include "IdException.h"
#include "IdIOHandlerTls.h"
#include "IdStack.h"
#include "udm.h"

#include <gtest/gtest.h>
#include <set>

namespace {

// Every number of the socket error table, the resolver's "try again", "no recovery" and
// "no data", and one nobody expects.
const int32_t SocketErrorNumbers[] = {10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038,
                                      10039, 10040, 10041, 10042, 10043, 10044, 10045, 10046, 10047, 10048,
                                      10049, 10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057, 10058,
                                      10059, 10060, 10061, 10062, 10063, 10064, 10065, 10066, 10093, 11001,
                                      11002, 11003, 11004, 12345};

TEST(ErrorSentence, EverySocketErrorGetsASentenceAboveTheLayersOwnText)
{
    for (int32_t number : SocketErrorNumbers) {
        const EIdSocketError error(number, TIdStack::SocketErrorText(number));
        const std::string sentence = ErrorSentence(error);
        EXPECT_FALSE(sentence.empty()) << number;
        EXPECT_EQ(ErrorBoxText(error), sentence + "\n" + TIdStack::SocketErrorText(number)) << number;
    }
}

TEST(ErrorSentence, SaysWhatHappenedAndWhatToDo)
{
    const struct {
        std::exception_ptr Error;
        std::string Sentence;
    } cases[] = {
        {std::make_exception_ptr(EIdSocketError(10061, "")),
         "Server odmítl spojení. Zkontrolujte adresu serveru a port ve vlastnostech účtu."},
        {std::make_exception_ptr(EIdSocketError(11001, "")),
         "Server tohoto jména neznám. Zkontrolujte adresu serveru a port ve vlastnostech účtu."},
        {std::make_exception_ptr(EIdSocketError(10054, "")), "Spojení se serverem se nečekaně přerušilo. Zkuste to znovu."},
        {std::make_exception_ptr(EIdConnClosedGracefully()), "Spojení se serverem se nečekaně přerušilo. Zkuste to znovu."},
        {std::make_exception_ptr(EIdConnectTimeout("pop.example.cz")),
         "Server na pokus o spojení neodpověděl. Zkontrolujte adresu serveru a port ve vlastnostech účtu."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "[AUTH] Authentication failed.\r\n")),
         "Server odmítl přihlášení. Zkontrolujte uživatelské jméno a heslo ve vlastnostech účtu."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "Invalid password\r\n")),
         "Server odmítl přihlášení. Zkontrolujte uživatelské jméno a heslo ve vlastnostech účtu."},
        {std::make_exception_ptr(EIdProtocolReplyError(
             -1, "[AUTH] Plaintext authentication disallowed on non-secure (SSL/TLS) connections.\r\n")),
         "Server odmítá přijmout heslo po nešifrovaném spojení. Zvolte ve vlastnostech účtu zabezpečení SSL/TLS nebo "
         "STARTTLS."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "[IN-USE] Mailbox is locked by another session\r\n")),
         "Schránku právě používá jiný program nebo jiné spojení. Zkuste to později."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "[SYS/TEMP] Try again later\r\n")),
         "Server má dočasné potíže. Zkuste to později."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "[LOGIN-DELAY] Wait 5 minutes\r\n")),
         "Server nedovoluje přihlašovat se tak často. Zkuste to později."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "no such message\r\n")),
         "Zpráva už na serveru není. Zkontrolujte schránku znovu."},
        {std::make_exception_ptr(EIdProtocolReplyError(-1, "Nope\r\n")), "Server požadavek odmítl."},
        {std::make_exception_ptr(EIdReplyNotUnderstood("Unrecognized POP3 Response Header:\n\"HTTP/1.1 400\"")),
         "Server odpověděl tak, jak server POP3 neodpovídá. Zkontrolujte adresu serveru a port ve vlastnostech účtu."},
        {std::make_exception_ptr(EIdTlsError(tfNoStartTls, "Server nenabízí STARTTLS")),
         "Server neumí šifrování STARTTLS. Heslo nebylo odesláno. Zvolte ve vlastnostech účtu zabezpečení SSL/TLS."},
        // The program's own words and the user's own cancel need nothing above them.
        {std::make_exception_ptr(EIdException("Server pop.example.cz neposlal uvítání.")), ""},
        {std::make_exception_ptr(EConvertError("'x' is not a valid integer value")), ""},
        {std::make_exception_ptr(EOperationCancelled()), ""},
    };
    for (const auto& entry : cases) {
        try {
            std::rethrow_exception(entry.Error);
        } catch (const std::exception& error) {
            EXPECT_EQ(ErrorSentence(error), entry.Sentence) << error.what();
            if (entry.Sentence.empty())
                EXPECT_EQ(ErrorBoxText(error), error.what());
        }
    }
}

TEST(ErrorSentence, EveryTlsFailureHasItsOwnSentence)
{
    std::set<std::string> sentences;
    for (TIdTlsFailure failure : {tfUntrusted, tfNameMismatch, tfExpired, tfNotYetValid, tfHandshake, tfNoStartTls, tfBroken})
        sentences.insert(ErrorSentence(EIdTlsError(failure, "x")));
    EXPECT_EQ(sentences.size(), 7u);
    EXPECT_EQ(sentences.count(""), 0u);
}

} // namespace
