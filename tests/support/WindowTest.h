#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class FormWindow;

// Answers the program's dialog boxes through the real QMessageBox while alive:
// each box is recorded, then the button with the next queued caption is pressed
// ("OK", "Cancel", "&Yes", "&No"). A box with nothing queued, or without the
// queued button, is closed with its escape button and counted as unexpected.
// Given one caption instead of a list, every box is answered with it; an empty
// caption then closes every box by its close box.
class DialogAnswers
{
public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QStringList buttons;
    };

    explicit DialogAnswers(const QStringList &answers = {});
    explicit DialogAnswers(const QString &everyBox);
    ~DialogAnswers();
    DialogAnswers(const DialogAnswers &) = delete;
    DialogAnswers &operator=(const DialogAnswers &) = delete;

    void queue(const QString &caption) { m_answers << caption; }
    // Runs `before` with each box's text before the box is answered: what
    // happens elsewhere while the user reads it.
    void beforeAnswering(std::function<void(const QString &text)> before) { m_before = std::move(before); }
    const QList<Box> &boxes() const { return m_boxes; }
    QStringList texts() const;
    QStringList titles() const;
    int unexpected() const { return m_unexpected; }

private:
    void install();

    QStringList m_answers;
    bool m_repeat = false;
    QString m_everyBox;
    QList<Box> m_boxes;
    int m_unexpected = 0;
    std::function<void(const QString &)> m_before;
};

// Shows a window modally, runs `inside` once its modal loop runs, and closes the
// window afterwards unless `inside` closed it. Returns the modal result.
int showModalAnd(FormWindow *window, const std::function<void()> &inside);

// Runs `inside` once a modal window other than the one modal now (and other than a
// message box) has opened, then closes it unless `inside` did; for modal windows
// opened by the code under test.
void whenModalOpens(const std::function<void(QWidget *modal)> &inside);
