#pragma once
// The About box: product name, version, description, maker and the maker's links.

#include <QDialog>

class QLabel;
class QPushButton;
class TLinkLabel;

class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* parent);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Comments;
    QLabel* Maker;
    TLinkLabel* www;
    TLinkLabel* eml;
    QPushButton* OKButton;

    void FormCreate();
    void wwwClick();
    void emlClick();

    // Enter, Esc, the OK button and the close box all close the box with OK.
    void reject() override;
};

// Shows a new About box modally over the active window.
void ShowAboutBox();
