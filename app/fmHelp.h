#pragma once
// The help window: the topics of a help file in a list at the left, the chosen topic's
// text at the right. Modal, made anew for every use.

#include "HelpFile.h"

#include <QDialog>

class QListWidget;
class QPlainTextEdit;

class THelpWindow : public QDialog {
public:
    THelpWindow(std::vector<THelpTopic> topics, QWidget* parent);

    // Shows the topic with this number, else the first one.
    void ShowTopic(int number);
    int ShownTopic() const;

    QListWidget* TopicList;
    QPlainTextEdit* TopicText;

private:
    void TopicListChanged(int row);

    std::vector<THelpTopic> FTopics;
};

// Opens the help file at the topic, in the help window over the active window. Raises
// Exception when the file is missing or holds no topics, EInOutError when it cannot be read.
void ShowHelpTopic(const std::string& helpFile, int topic);
