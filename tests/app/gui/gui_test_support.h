// Helpers of the window tests: a scripted user in place of the dialogs, and a way to answer a
// real modal dialog from inside its own event loop.
#pragma once

#include "app/user_interface.h"
#include "tests/support/scripted_user.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// QString in test failures as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tav::test {

// The shape of the application's override cursor, or -1 when there is none.
inline int overrideCursorShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

// The scripted user of the window tests sees Qt's override cursor.
inline ScriptedUser qtScriptedUser()
{
    ScriptedUser user;
    user.cursorNow = overrideCursorShape;
    return user;
}

// Runs `action` on the first modal widget of type T that shows up while the event loop runs
// (a dialog's exec() included). If none shows up within the time limit, the test fails and
// every modal widget is closed, so that the test does not hang.
template <typename T>
void whenModal(std::function<void(T*)> action, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    auto* timer = new QTimer;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QObject::connect(timer, &QTimer::timeout, [timer, action, deadline] {
        if (T* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(widget);
        } else if (std::chrono::steady_clock::now() > deadline) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog did not show up";
            for (int i = 0; i < 10; ++i)
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
        }
    });
    timer->start(10);
}

}  // namespace tav::test
