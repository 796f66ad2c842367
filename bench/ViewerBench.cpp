#include "RxRichEd.h"

#include <QApplication>
#include <benchmark/benchmark.h>

// A downloaded message shows in the viewer at once: the text goes in, links are found,
// three banners are coloured and the attachment lines bulleted. Goal: a large message
// (a few megabytes, hundreds of attachment lines, thousands of web links) well under
// a second, so a click on the download command feels immediate.
namespace {

const std::string AttachmentsBanner = "---P\xF8\xEDlohy-------------------------------";
const std::string BodyBanner = "---T\xECl\x6F zpr\xE1vy---------------------------";
const std::string HeaderBanner = "---Z\xE1hlav\xED zpr\xE1vy------------------------";

std::string LargeMessage(int attachments, int bodyLines)
{
    std::string text = "\r\n" + AttachmentsBanner + "\r\n";
    for (int i = 0; i < attachments; ++i) {
        const std::string name = "p\xF8\xEDloha " + std::to_string(i) + ".pdf";
        text += "\r\nhttp://localhost/" + name + "/ID=" + std::to_string(i + 1) + " " + name + " (application/pdf)";
    }
    text += "\r\n\r\n" + BodyBanner + "\r\n";
    for (int i = 0; i < bodyLines; ++i)
        text += "\xDA\xE8" "et " + std::to_string(i) + " najdete na https://www.example.cz/ucty/" + std::to_string(i)
            + " nebo napi\x9Ate na mailto:podpora@example.cz, d\xEDky.\r\n";
    text += "\r\n\r\n" + HeaderBanner + "\r\nFrom: a@b.cz\r\nSubject: test\r\n";
    return text;
}

void HighlightSection(TRxRichEdit& edit, const std::string& banner)
{
    const int p = edit.FindText(banner, 0, edit.TextLength());
    if (p >= 0) {
        edit.SetSelStart(p);
        edit.SetSelLength(static_cast<int>(banner.size()));
        edit.SelAttributes().SetName("Courier new");
        edit.SelAttributes().SetColor(QColor(255, 0, 0));
        edit.SelAttributes().SetStyle({.Bold = true});
        edit.SelAttributes().SetSize(12);
        const int a = edit.FindText(AttachmentsBanner, 0, edit.TextLength());
        if (a > 0) {
            const int t = edit.FindText(BodyBanner, 0, edit.TextLength());
            edit.SetSelStart(a + 43);
            edit.SetSelLength(t - (a + 43) - 1);
            edit.Paragraph().SetNumbering(TNumberingStyle::nsBullet);
            edit.SelAttributes().SetStyle({.Bold = true});
        }
    }
    edit.SetSelStart(0);
    edit.SetSelLength(0);
}

}  // namespace

static void BM_ShowDownloadedMessage(benchmark::State& state)
{
    const std::string text = LargeMessage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    TRxRichEdit edit;
    edit.resize(800, 600);
    edit.show();
    for (auto _ : state) {
        edit.SetText(text);
        for (const std::string& banner : {AttachmentsBanner, BodyBanner, HeaderBanner})
            HighlightSection(edit, banner);
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_ShowDownloadedMessage)->Args({2, 100})->Args({300, 30000})->Unit(benchmark::kMillisecond);

// Setting the text alone, link detection included.
static void BM_SetTextOnly(benchmark::State& state)
{
    const std::string text = LargeMessage(300, 30000);
    TRxRichEdit edit;
    edit.resize(800, 600);
    edit.show();
    for (auto _ : state) {
        edit.SetText(text);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_SetTextOnly)->Unit(benchmark::kMillisecond);

// The same text in a bare QTextEdit: what the widget itself costs, for comparison.
static void BM_PlainQtBaseline(benchmark::State& state)
{
    const QString text = QString::fromStdString(LargeMessage(300, 30000));
    QTextEdit edit;
    edit.resize(800, 600);
    edit.show();
    for (auto _ : state) {
        edit.setPlainText(text);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_PlainQtBaseline)->Unit(benchmark::kMillisecond);

// The application lives on main's stack: one left to static destruction outlives the
// platform plugin it needs and crashes on the way out.
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
