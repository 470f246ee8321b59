#pragma once

// Answers a modal dialog from the event loop that runs it: once a visible
// modal widget whose object name matches appears, the action is called with
// it. A dialog that is still open after a few seconds is closed, so that a
// test that fails to answer cannot hang the run.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

inline void AnswerModal(const QString &objectName, std::function<void(QWidget *)> action,
                        int timeoutMs = 5000)
{
    // Parented to the application, so a timer left over is released with it.
    auto *timer = new QTimer(QApplication::instance());
    timer->setInterval(5);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget *modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && modal->objectName() == objectName;
        if (!found && clock->elapsed() <= timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (found) {
            action(modal);
            return;
        }
        ADD_FAILURE() << "no modal dialog named " << objectName.toStdString();
        if (!modal)
            return;
        modal->close();
        // A message box without an escape button refuses to be closed;
        // hiding a modal dialog still ends its event loop.
        if (modal->isVisible())
            modal->hide();
    });
    timer->start();
}

// Shows a new top-level window and makes it the active window, the parent
// that the dialogs take. The caller owns it.
inline QWidget *ShowActiveParent()
{
    auto *parent = new QWidget;
    parent->show();
    parent->activateWindow();
    QApplication::setActiveWindow(parent);
    EXPECT_EQ(QApplication::activeWindow(), parent);
    return parent;
}

// Sends a key press and release to the widget that has the keyboard focus in
// the window (or to the window itself), as typing on the keyboard would.
inline void PressKey(QWidget *window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}
