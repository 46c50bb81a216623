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

// The main window's client area as the screen shows it: the artwork from the top-left corner
// where no control covers it, the white header bar, and solid text pixels in the colour of each
// label, none outside the labels' own kind.
inline void expectArtworkAndColours(const QImage& shot)
{
    ASSERT_EQ(shot.size(), QSize(743, 468));
    const QImage background(QStringLiteral(":/tavrenix/background.jpg"));
    ASSERT_EQ(background.size(), QSize(993, 793));
    for (const QPoint p : {QPoint(300, 100), QPoint(280, 390), QPoint(740, 465), QPoint(5, 400)})
        EXPECT_EQ(shot.pixel(p), background.pixel(p)) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(0, 0), QPoint(100, 25), QPoint(742, 50)})
        EXPECT_EQ(shot.pixel(p), qRgb(255, 255, 255)) << p.x() << "," << p.y();

    const auto count = [&](const QRect& area, QRgb colour) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += shot.pixel(x, y) == colour;
        return n;
    };
    EXPECT_GT(count(QRect(220, 5, 274, 44), qRgb(0, 0, 0)), 200);  // lblWeb, black
    EXPECT_GT(count(QRect(21, 329, 250, 36), qRgb(255, 255, 0)), 200);  // Lblinfo2, yellow
    EXPECT_GT(count(QRect(56, 413, 676, 44), qRgb(255, 255, 255)), 1000);  // LblForo, white
    EXPECT_GT(count(QRect(336 + 15, 63 + 240, 243, 16), qRgb(0, 0, 0)), 100);  // LblImageFile, black
    EXPECT_EQ(count(QRect(0, 51, 743, 417), qRgb(255, 255, 0)), count(QRect(21, 329, 250, 36), qRgb(255, 255, 0)));
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
