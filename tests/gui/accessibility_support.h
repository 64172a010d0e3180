#pragma once
// A control's toggle action through the accessibility interface, as a screen reader or
// switch access works it.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QWidget>
#include <gtest/gtest.h>

inline void AccessibleToggle(QWidget* W)
{
    const QString action = QAccessibleActionInterface::toggleAction();
    ASSERT_NE(W, nullptr);
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(W);
    ASSERT_NE(i, nullptr);
    QAccessibleActionInterface* a = i->actionInterface();
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(a->actionNames().contains(action));
    a->doAction(action);
}
