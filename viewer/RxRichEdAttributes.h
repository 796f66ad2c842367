#pragma once
// The character and paragraph attributes of the viewer's selection. Both are owned by
// the viewer and always act on its current selection; a getter reads the first
// selected character or the first paragraph the selection touches.

#include <QColor>
#include <string>

class TRxRichEdit;

struct TFontStyles {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;

    bool operator==(const TFontStyles&) const = default;
};

enum class TNumberingStyle { nsNone, nsBullet };

// Character attributes. Setters change only the selected characters; with an empty
// selection there is nothing to change. A colour that is not valid (QColor()) is the
// automatic colour: the characters follow the viewer's own text colour.
class TRxTextAttributes {
public:
    explicit TRxTextAttributes(TRxRichEdit& edit) : FEdit(edit) {}

    std::string Name() const;
    void SetName(const std::string& name);
    QColor Color() const;
    void SetColor(const QColor& color);
    TFontStyles Style() const;
    // Sets all four styles at once: those left false are switched off.
    void SetStyle(const TFontStyles& style);
    // Size in points.
    int Size() const;
    void SetSize(int points);

private:
    TRxRichEdit& FEdit;
};

// Paragraph attributes of every paragraph the selection touches. A selection that ends
// right after a line break does not touch the paragraph behind it.
class TRxParaAttributes {
public:
    explicit TRxParaAttributes(TRxRichEdit& edit) : FEdit(edit) {}

    TNumberingStyle Numbering() const;
    // Bullets on first raise LeftIndent to 10 points where it is smaller; bullets off
    // set LeftIndent to 0.
    void SetNumbering(TNumberingStyle numbering);
    // The indent of the paragraph's lines, in points.
    int LeftIndent() const;
    void SetLeftIndent(int points);

private:
    TRxRichEdit& FEdit;
};
