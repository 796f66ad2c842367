#include "fmHelp.h"

#include "Exception.h"
#include "FileContents.h"
#include "ModalRunner.h"
#include "QtText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const std::string HelpCaption = "Nápověda";
const std::string CloseCaption = "Zavřít";

} // namespace

THelpWindow::THelpWindow(std::vector<THelpTopic> topics, QWidget* parent)
    : QDialog(parent), FTopics(std::move(topics))
{
    setWindowTitle(ToQt(HelpCaption));
    resize(640, 420);
    TopicList = new QListWidget(this);
    TopicList->setFixedWidth(190);
    for (const THelpTopic& topic : FTopics)
        TopicList->addItem(ToQt(topic.Title));
    TopicText = new QPlainTextEdit(this);
    TopicText->setReadOnly(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ToQt(CloseCaption), QDialogButtonBox::RejectRole);

    auto* panes = new QHBoxLayout;
    panes->addWidget(TopicList);
    panes->addWidget(TopicText, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addWidget(buttons);

    connect(TopicList, &QListWidget::currentRowChanged, this, &THelpWindow::TopicListChanged);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void THelpWindow::ShowTopic(int number)
{
    int row = 0;
    for (size_t i = 0; i < FTopics.size(); ++i)
        if (FTopics[i].Number == number)
            row = static_cast<int>(i);
    TopicList->setCurrentRow(row);
}

int THelpWindow::ShownTopic() const
{
    int row = TopicList->currentRow();
    return row >= 0 && row < static_cast<int>(FTopics.size()) ? FTopics[static_cast<size_t>(row)].Number : -1;
}

void THelpWindow::TopicListChanged(int row)
{
    if (row >= 0 && row < static_cast<int>(FTopics.size()))
        TopicText->setPlainText(ToQt(ParagraphText(FTopics[static_cast<size_t>(row)].Text)));
}

void ShowHelpTopic(const std::string& helpFile, int topic)
{
    std::optional<std::string> bytes = ReadFileContents(helpFile);
    if (!bytes)
        throw Exception("Soubor nápovědy nebyl nalezen: " + helpFile);
    std::vector<THelpTopic> topics = ParseHelpFile(*bytes);
    if (topics.empty())
        throw Exception("Soubor nápovědy neobsahuje žádné téma: " + helpFile);
    THelpWindow window(std::move(topics), QApplication::activeWindow());
    window.ShowTopic(topic);
    RunModal(window);
}
