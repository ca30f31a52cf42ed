#pragma once

#include "MessageBoxes.h"

#include <QList>
#include <functional>

// Records every box and answers it: Yes/No boxes with the scripted answers in
// order (Yes when none is left), OK boxes with OK.
class FakeMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title;
    };

    Answer show(const QString &text, Buttons buttons, Icon icon, const QString &title) override
    {
        shown.append({text, buttons, icon, title});
        if (onShow)
            onShow(shown.last());
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        return answers.isEmpty() ? Answer::Yes : answers.takeFirst();
    }

    [[nodiscard]] QStringList texts() const
    {
        QStringList all;
        for (const auto &s : shown)
            all << s.text;
        return all;
    }

    QList<Shown> shown;
    QList<Answer> answers;
    std::function<void(const Shown &)> onShow;
};
