// Message parsing: the line decoders in MB/s of output (base64 as one stream over the
// lines of a part), 100,000 subjects with encoded words, and a whole 64 MB message read
// through the message client over the in-memory transport; the last two next to
// Python's email package doing the same work. Then the memory a header block with a
// 1 MiB To line needs.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <malloc.h>
#include <memory>
#include <new>
#include <unistd.h>
#include <vector>

#include "IdCoderHeader.h"
#include "IdCoderMIME.h"
#include "IdCoderQuotedPrintable.h"
#include "IdCoderUUE.h"
#include "IdIOHandlerMemory.h"
#include "IdMessage.h"
#include "IdMessageClient.h"
#include "IdMessageCoder.h"

#include <benchmark/benchmark.h>

// Every allocation is counted, so the whole-message benchmark can report how much more
// memory the parse needed at its peak than it held before.
namespace {
std::atomic<size_t> LiveBytes{0};
std::atomic<size_t> PeakBytes{0};
} // namespace

void* operator new(size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    size_t live = LiveBytes += malloc_usable_size(block);
    size_t peak = PeakBytes.load();
    while (live > peak && !PeakBytes.compare_exchange_weak(peak, live)) {
    }
    return block;
}

void operator delete(void* block) noexcept
{
    if (!block)
        return;
    LiveBytes -= malloc_usable_size(block);
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

namespace {

std::string PseudoRandomBytes(size_t count)
{
    std::string bytes(count, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}

// Base64 lines of 76 characters, each ended by CR LF.
std::string Base64Lines(const std::string& data)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(data.size() / 57 * 78 + 100);
    for (size_t line = 0; line < data.size(); line += 57) {
        size_t end = std::min(line + 57, data.size());
        for (size_t i = line; i < end; i += 3) {
            uint32_t v = uint8_t(data[i]) << 16;
            if (i + 1 < end)
                v |= uint8_t(data[i + 1]) << 8;
            if (i + 2 < end)
                v |= uint8_t(data[i + 2]);
            out += alphabet[v >> 18 & 63];
            out += alphabet[v >> 12 & 63];
            out += i + 1 < end ? alphabet[v >> 6 & 63] : '=';
            out += i + 2 < end ? alphabet[v & 63] : '=';
        }
        out += "\r\n";
    }
    return out;
}

// Czech text in Windows-1250, quoted-printable with soft breaks at 76 characters.
std::string QuotedPrintableText(size_t encodedSize)
{
    const std::string sentence = "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2 \xFAp\xECl \xEF\xE1\x62\x65lsk\xE9 \xF3\x64y. ";
    std::string out;
    std::string line;
    while (out.size() < encodedSize) {
        for (char c : sentence) {
            char piece[4];
            if (static_cast<unsigned char>(c) >= 128 || c == '=')
                std::snprintf(piece, sizeof piece, "=%02X", static_cast<unsigned char>(c));
            else
                std::snprintf(piece, sizeof piece, "%c", c);
            if (line.size() + std::string(piece).size() > 75) {
                out += line + "=\r\n";
                line.clear();
            }
            line += piece;
        }
        if (line.size() > 60) {
            out += line + "\r\n";
            line.clear();
        }
    }
    return out + line + "\r\n";
}

template <class Decoder>
void DecodeLines(benchmark::State& state, const std::vector<std::string>& lines)
{
    size_t produced = 0;
    std::string output;
    for (auto _ : state) {
        // A decoder belongs to one part: a base64 decoder stops at the part's padding.
        Decoder decoder;
        output.clear();
        for (const std::string& line : lines)
            decoder.DecodeToOutput(line, output);
        produced += output.size();
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(produced);
}

std::vector<std::string> SplitCrLf(const std::string& text, bool keepLineEnds)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start + (keepLineEnds ? 2 : 0)));
        start = end + 2;
    }
    return lines;
}

void BM_DecodeBase64(benchmark::State& state)
{
    DecodeLines<TIdDecoderMIME>(state, SplitCrLf(Base64Lines(PseudoRandomBytes(1 << 20)), false));
}
BENCHMARK(BM_DecodeBase64);

void BM_DecodeQuotedPrintable(benchmark::State& state)
{
    DecodeLines<TIdDecoderQuotedPrintable>(state, SplitCrLf(QuotedPrintableText(1 << 20), true));
}
BENCHMARK(BM_DecodeQuotedPrintable);

void BM_DecodeUUE(benchmark::State& state)
{
    std::vector<std::string> lines;
    std::string data = PseudoRandomBytes(45 * 20000);
    for (size_t line = 0; line < data.size(); line += 45) {
        std::string encoded = "M";
        for (size_t i = line; i < line + 45; i += 3) {
            uint32_t v = uint8_t(data[i]) << 16 | uint8_t(data[i + 1]) << 8 | uint8_t(data[i + 2]);
            for (int shift = 18; shift >= 0; shift -= 6) {
                int value = v >> shift & 63;
                encoded += value == 0 ? '`' : static_cast<char>(value + 32);
            }
        }
        lines.push_back(encoded);
    }
    DecodeLines<TIdDecoderUUE>(state, lines);
}
BENCHMARK(BM_DecodeUUE);

// Subjects as they come: UTF-8, ISO-8859-2 and Windows-1250 words, a long UTF-8 subject
// folded into two words that split a character, KOI8-R, and plain text around them.
std::vector<std::string> Subjects(size_t count)
{
    const char* const forms[] = {
        "=?UTF-8?B?UMWZw61sb2hhIGsgZmFrdHXFmWU=?= %",
        "Re: =?iso-8859-2?Q?Objedn=E1vka_=E8=EDslo_%?=",
        "=?windows-1250?Q?P=F8=EDli=9A_=9Elu=9Dou=E8k=FD_k=F9=F2_%?=",
        "=?UTF-8?B?UMU=?= =?UTF-8?B?mcOtbGnFocW+bHXFpW91xI1rw70ga8WvxYggw7pwxJts?= %",
        "Fwd: =?koi8-r?B?8NLJ18XULCDNydI=?= %",
        "=?utf-8?Q?Sch=C5=AFzka_t=C3=BDmu?= v %",
    };
    std::vector<std::string> subjects;
    for (size_t i = 0; i < count; ++i) {
        std::string subject = forms[i % std::size(forms)];
        subject.replace(subject.find('%'), 1, std::to_string(i));
        subjects.push_back(std::move(subject));
    }
    return subjects;
}

// Runs a script of this folder on a file holding the text; returns the seconds it prints.
double PythonSecondsFor(const char* script, const std::string& text)
{
    std::string path = "/tmp/kormoran-bench-" + std::to_string(getpid()) + ".txt";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    std::string command = std::string("python3 " BENCH_SOURCE_DIR "/") + script + " " + path;
    std::string output;
    if (FILE* python = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, python))
            output += buffer;
        pclose(python);
    }
    unlink(path.c_str());
    return std::atof(output.c_str());
}

void BM_DecodeSubjects100k(benchmark::State& state)
{
    const std::vector<std::string> subjects = Subjects(100000);
    std::string lines;
    for (const std::string& subject : subjects)
        lines += subject + "\n";
    const double python = PythonSecondsFor("MailSubjects.py", lines);
    double kormoran = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        size_t decoded = 0;
        for (const std::string& subject : subjects)
            decoded += DecodeEncodedWords(subject).size();
        kormoran += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(decoded);
    }
    state.counters["PythonSeconds"] = python;
    state.counters["KormoranSeconds"] = kormoran / state.iterations();
    state.counters["PythonRatio"] = python / (kormoran / state.iterations());
}
BENCHMARK(BM_DecodeSubjects100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// About 64 MB: a 1 MB quoted-printable text part and one base64 attachment.
std::string WholeMessage()
{
    std::string message =
        "From: Jana Dvorak <jana@example.cz>\r\nTo: petr@example.cz\r\nSubject: Big\r\n"
        "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\nMessage-ID: <big@example.cz>\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"bench-boundary\"\r\n\r\n"
        "--bench-boundary\r\nContent-Type: text/plain; charset=windows-1250\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    message += QuotedPrintableText(1 << 20);
    message += "--bench-boundary\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
               "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"big.bin\"\r\n\r\n";
    message += Base64Lines(PseudoRandomBytes(63 * 1000 * 1000 / 4 * 3 - (1 << 20)));
    message += "--bench-boundary--\r\n";
    return message;
}

void BM_ReceiveMessageBody64MB(benchmark::State& state)
{
    const std::string message = WholeMessage();
    // The server's form: the message contains no line that begins with a full stop.
    const std::string wire = message + ".\r\n";
    const double python = PythonSecondsFor("MailEmailParse.py", message);
    double kormoran = 0;
    size_t peakGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TIdIOHandlerMemory handler;
        handler.Feed(wire);
        TIdMessageClient client;
        client.SetIOHandler(&handler);
        TIdMessage parsed;
        size_t liveBefore = LiveBytes.load();
        PeakBytes = liveBefore;
        state.ResumeTiming();

        auto start = std::chrono::steady_clock::now();
        client.ReceiveHeaderBlock(parsed, "");
        client.ReceiveMessageBody(parsed, ".");
        kormoran += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        state.PauseTiming();
        peakGrowth = std::max(peakGrowth, PeakBytes.load() - liveBefore);
        if (parsed.Parts().Count() != 2)
            state.SkipWithError("the message did not parse into two parts");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * message.size());
    state.counters["MessageMB"] = message.size() / 1e6;
    state.counters["PythonSeconds"] = python;
    state.counters["KormoranSeconds"] = kormoran / state.iterations();
    state.counters["PythonRatio"] = python / (kormoran / state.iterations());
    state.counters["PeakGrowthMB"] = peakGrowth / 1e6;
}
BENCHMARK(BM_ReceiveMessageBody64MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// A header block whose To line holds addresses up to 1 MiB, the longest line a header
// block keeps. PeakGrowth is what reading and applying it needed at most beyond what was
// held before (the connection's input buffer included); Held what the message keeps of
// it afterwards (lines and address list).
void BM_HeaderBlockWithLongToLine(benchmark::State& state)
{
    std::string to = "To: ";
    for (int i = 0; to.size() < (1u << 20) - 40; ++i)
        to += "Adresat " + std::to_string(i) + " <adresat" + std::to_string(i) + "@posta.example.cz>, ";
    to.resize(to.size() - 2);
    const std::string wire = "From: a@b.example\r\nSubject: mnoho adres\r\n" + to + "\r\n.\r\n";
    size_t peakGrowth = 0;
    size_t held = 0;
    int addresses = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TIdIOHandlerMemory handler;
        handler.Feed(wire);
        auto client = std::make_unique<TIdMessageClient>();
        client->SetIOHandler(&handler);
        auto parsed = std::make_unique<TIdMessage>();
        size_t liveBefore = LiveBytes.load();
        PeakBytes = liveBefore;
        state.ResumeTiming();

        client->ReceiveHeaderBlock(*parsed, ".");

        state.PauseTiming();
        peakGrowth = std::max(peakGrowth, PeakBytes.load() - liveBefore);
        // The connection's input buffer goes with the client.
        client.reset();
        held = LiveBytes.load() - liveBefore;
        addresses = parsed->Recipients.Count();
        parsed.reset();
        state.ResumeTiming();
    }
    state.counters["LineMB"] = to.size() / 1e6;
    state.counters["Addresses"] = addresses;
    state.counters["PeakGrowthMB"] = peakGrowth / 1e6;
    state.counters["HeldMB"] = held / 1e6;
    state.counters["PeakPerLineByte"] = double(peakGrowth) / to.size();
}
BENCHMARK(BM_HeaderBlockWithLongToLine)->Unit(benchmark::kMillisecond)->Iterations(5);

// Header lines handed out from memory, each once: what the message side needs alone.
class TBenchLineSource : public TIdLineSource {
public:
    explicit TBenchLineSource(std::vector<std::string> lines) : FLines(std::move(lines)) {}
    std::string ReadLn() override { return std::move(FLines.at(FNext++)); }

private:
    std::vector<std::string> FLines;
    size_t FNext = 0;
};

// The same block without a connection: PeakGrowth beyond the lines themselves.
void BM_HeaderBlockWithLongToLineFromMemory(benchmark::State& state)
{
    std::string to = "To: ";
    for (int i = 0; to.size() < (1u << 20) - 40; ++i)
        to += "Adresat " + std::to_string(i) + " <adresat" + std::to_string(i) + "@posta.example.cz>, ";
    to.resize(to.size() - 2);
    size_t peakGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TBenchLineSource source({"From: a@b.example", "Subject: mnoho adres", to, "."});
        TIdMessage parsed;
        size_t liveBefore = LiveBytes.load();
        PeakBytes = liveBefore;
        state.ResumeTiming();

        ReadHeaderBlock(source, parsed, ".");

        state.PauseTiming();
        peakGrowth = std::max(peakGrowth, PeakBytes.load() - liveBefore);
        state.ResumeTiming();
    }
    state.counters["LineMB"] = to.size() / 1e6;
    state.counters["PeakGrowthMB"] = peakGrowth / 1e6;
}
BENCHMARK(BM_HeaderBlockWithLongToLineFromMemory)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
