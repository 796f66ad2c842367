#pragma once
// A label that looks and acts like a link: underlined, hand cursor, clicked() on a
// left click.

#include <QLabel>

class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    TLinkLabel(const QString& text, const QColor& color, QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
