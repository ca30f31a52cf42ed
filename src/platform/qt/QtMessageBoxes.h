#pragma once

#include "MessageBoxes.h"

#include <QPointer>
#include <QWidget>

class QtMessageBoxes : public MessageBoxes
{
public:
    void setParent(QWidget *parent) { m_parent = parent; }
    Answer show(const QString &text, Buttons buttons, Icon icon, const QString &title) override;

private:
    QPointer<QWidget> m_parent;
};
