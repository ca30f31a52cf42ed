#pragma once

#include <QString>

// Modal message boxes.
class MessageBoxes
{
public:
    enum class Buttons
    {
        Ok,
        YesNo
    };
    enum class Icon
    {
        None,
        Warning
    };
    enum class Answer
    {
        Ok,
        Yes,
        No
    };

    virtual ~MessageBoxes() = default;
    // Shows the box and returns the button that closed it.
    virtual Answer show(const QString &text, Buttons buttons, Icon icon, const QString &title) = 0;
};

// The title of every box that names none of its own.
inline const QString ApplicationTitle = QStringLiteral("Marrowlake");
