#pragma once

#include "app/UserInteraction.h"

#include <QStringList>
#include <deque>
#include <stdexcept>

// Answers the windows' questions from queues and records what they showed.
// A question or dialog without a queued answer fails the test loudly.
class FakeInteraction : public UserInteraction
{
public:
    struct Question
    {
        QString caption;
        QString text;
        Icon icon;
        bool withCancel;
    };

    std::deque<Answer> answers;
    std::deque<QString> openFileNames;
    std::deque<QString> saveFileNames; // "" = cancelled
    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<QString>> texts;
    std::deque<std::optional<QString>> feedSources;
    std::deque<bool> trustAnswers;

    QStringList messages;
    QStringList errors;
    std::vector<Question> questions;
    std::vector<TrustQuestion> trustQuestions;
    QStringList saveFilters, saveSuffixes, proposedNames, openFilters;

    void showMessage(QWidget*, const QString& text) override { messages << text; }
    void showError(QWidget*, const QString& text) override { errors << text; }
    Answer ask(QWidget*, const QString& caption, const QString& text, Icon icon,
               bool withCancel) override
    {
        questions.push_back({caption, text, icon, withCancel});
        return take(answers, "question: " + text);
    }
    QString getOpenFileName(QWidget*, const QString& filter) override
    {
        openFilters << filter;
        return take(openFileNames, QStringLiteral("open dialog"));
    }
    QString getSaveFileName(QWidget*, const QString& filter, const QString& suffix,
                            const QString& proposed) override
    {
        saveFilters << filter;
        saveSuffixes << suffix;
        proposedNames << proposed;
        return take(saveFileNames, QStringLiteral("save dialog"));
    }
    std::optional<QColor> getColor(QWidget*, const QColor&) override
    {
        return take(colors, QStringLiteral("colour dialog"));
    }
    std::optional<QString> getText(QWidget*, const QString&, const QString& label,
                                   const QString&) override
    {
        return take(texts, "text input: " + label);
    }

    std::optional<QString> getFeedSource(QWidget*) override
    {
        return take(feedSources, QStringLiteral("feed source dialog"));
    }
    bool askTrust(QWidget*, const TrustQuestion& question) override
    {
        trustQuestions.push_back(question);
        return take(trustAnswers, "trust question: " + question.host);
    }

    bool allAnswersUsed() const
    {
        return answers.empty() && openFileNames.empty() && saveFileNames.empty() &&
               colors.empty() && texts.empty() && feedSources.empty() && trustAnswers.empty();
    }

private:
    template <typename T> static T take(std::deque<T>& queue, const QString& what)
    {
        if (queue.empty())
            throw std::logic_error("unexpected " + what.toStdString());
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};
