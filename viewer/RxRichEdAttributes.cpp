#include "RxRichEdAttributes.h"

#include "QtText.h"
#include "RxRichEd.h"

#include <QTextDocument>
#include <QTextList>
#include <cmath>

namespace {

constexpr int BulletIndentPoints = 10;

double PointsToPixels(const QWidget& widget, int points)
{
    return points * widget.logicalDpiX() / 72.0;
}

int PixelsToPoints(const QWidget& widget, double pixels)
{
    return static_cast<int>(std::lround(pixels * 72.0 / widget.logicalDpiX()));
}

// The effective font of a character: its own settings over the viewer's font.
QFont EffectiveFont(const TRxRichEdit& edit, const QTextCharFormat& format)
{
    return format.font().resolve(edit.document()->defaultFont());
}

QTextListFormat BulletFormat()
{
    QTextListFormat format;
    format.setStyle(QTextListFormat::ListDisc);
    // The paragraph's own left indent makes room for the bullet.
    format.setIndent(0);
    return format;
}

}  // namespace

std::string TRxTextAttributes::Name() const
{
    const QFont font = EffectiveFont(FEdit, FEdit.SelectedCharFormat());
    return FromQt(font.families().value(0, font.family()));
}

void TRxTextAttributes::SetName(const std::string& name)
{
    const QStringList families{ToQt(name)};
    FEdit.EditSelectedCharacters([&](QTextCharFormat& format) { format.setFontFamilies(families); });
}

QColor TRxTextAttributes::Color() const
{
    const QTextCharFormat format = FEdit.SelectedCharFormat();
    return format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : QColor();
}

void TRxTextAttributes::SetColor(const QColor& color)
{
    FEdit.EditSelectedCharacters([&](QTextCharFormat& format) {
        if (color.isValid())
            format.setForeground(color);
        else
            format.clearForeground();
    });
}

TFontStyles TRxTextAttributes::Style() const
{
    const QFont font = EffectiveFont(FEdit, FEdit.SelectedCharFormat());
    return {font.bold(), font.italic(), font.underline(), font.strikeOut()};
}

void TRxTextAttributes::SetStyle(const TFontStyles& style)
{
    FEdit.EditSelectedCharacters([&](QTextCharFormat& format) {
        format.setFontWeight(style.Bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(style.Italic);
        format.setFontUnderline(style.Underline);
        format.setFontStrikeOut(style.StrikeOut);
    });
}

int TRxTextAttributes::Size() const
{
    return static_cast<int>(std::lround(EffectiveFont(FEdit, FEdit.SelectedCharFormat()).pointSizeF()));
}

void TRxTextAttributes::SetSize(int points)
{
    if (points < 1)
        return;
    FEdit.EditSelectedCharacters([&](QTextCharFormat& format) { format.setFontPointSize(points); });
}

TNumberingStyle TRxParaAttributes::Numbering() const
{
    const QTextList* list = FEdit.TouchedBlocks().front().textList();
    return list && list->format().style() == QTextListFormat::ListDisc ? TNumberingStyle::nsBullet
                                                                        : TNumberingStyle::nsNone;
}

void TRxParaAttributes::SetNumbering(TNumberingStyle numbering)
{
    const std::vector<QTextBlock> blocks = FEdit.TouchedBlocks();
    const bool bullets = numbering == TNumberingStyle::nsBullet;
    QTextCursor cursor(FEdit.document());
    cursor.beginEditBlock();
    // Paragraphs join the list the first of them is in already, so bullets twice are one list.
    QTextList* list = bullets && Numbering() == TNumberingStyle::nsBullet ? blocks.front().textList() : nullptr;
    for (const QTextBlock& block : blocks) {
        if (block.textList() && block.textList() != list)
            block.textList()->remove(block);
        QTextBlockFormat format = block.blockFormat();
        if (!bullets)
            format.setLeftMargin(0);
        else if (format.leftMargin() < PointsToPixels(FEdit, BulletIndentPoints))
            format.setLeftMargin(PointsToPixels(FEdit, BulletIndentPoints));
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        if (!bullets || block.textList())
            continue;
        if (list)
            list->add(block);
        else
            list = cursor.createList(BulletFormat());
    }
    cursor.endEditBlock();
}

int TRxParaAttributes::LeftIndent() const
{
    return PixelsToPoints(FEdit, FEdit.TouchedBlocks().front().blockFormat().leftMargin());
}

void TRxParaAttributes::SetLeftIndent(int points)
{
    QTextCursor cursor(FEdit.document());
    cursor.beginEditBlock();
    for (const QTextBlock& block : FEdit.TouchedBlocks()) {
        QTextBlockFormat format = block.blockFormat();
        format.setLeftMargin(PointsToPixels(FEdit, std::max(points, 0)));
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}
