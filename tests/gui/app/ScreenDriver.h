#pragma once

// A virtual X display (Xvfb) for the built program, and xdotool driving it like a user: find a
// window by its title, click a control where the skin places it.

#include "core/resources/SkinLayout.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>

#include <string_view>

namespace brasslane::gui::test {

class Display {
public:
    Display(const QString& xvfb, const QProcessEnvironment& base) : m_environment(base) {
        for (int display = 141; display < 190 && m_name.isEmpty(); ++display) {
            if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) &&
                !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) {
                m_number = display;
                m_name = QStringLiteral(":%1").arg(display);
            }
        }
        if (m_name.isEmpty()) {
            return;
        }
        m_server.start(xvfb, {m_name, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QDeadlineTimer up(10000);
        while (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(m_number)) && !up.hasExpired()) {
            QTest::qSleep(50);
        }
        m_environment.insert(QStringLiteral("DISPLAY"), m_name);
    }
    ~Display() {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
    bool Up() const { return !m_name.isEmpty() && QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(m_number)); }
    const QProcessEnvironment& Environment() const { return m_environment; }

    // Runs a tool on the display; its standard output, or nothing when it failed.
    QString Tool(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(program, arguments);
        if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            return {};
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

private:
    QProcessEnvironment m_environment;
    QProcess m_server;
    QString m_name;
    int m_number = -1;
};

// The first visible window whose name matches `pattern`, waiting for it to appear.
inline QString FindWindow(const Display& display, const QString& xdotool, const QString& pattern) {
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        const QString found = display
                                  .Tool(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), pattern})
                                  .section(QLatin1Char('\n'), 0, 0);
        if (!found.isEmpty()) {
            return found;
        }
        QTest::qSleep(100);
    }
    return {};
}

inline QPoint WindowOrigin(const Display& display, const QString& xdotool, const QString& window) {
    const QStringList lines =
        display.Tool(xdotool, {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
            .split(QLatin1Char('\n'));
    QPoint origin(-1, -1);
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("X="))) {
            origin.setX(line.mid(2).toInt());
        } else if (line.startsWith(QLatin1String("Y="))) {
            origin.setY(line.mid(2).toInt());
        }
    }
    return origin;
}

// Clicks the middle of the control `key` of a window laid out by `layout`.
inline void Click(const Display& display, const QString& xdotool, const QPoint& origin, const SkinLayout& layout,
                  std::string_view key) {
    const SkinRect rect = layout.Rect(key);
    display.Tool(xdotool,
                 {QStringLiteral("mousemove"), QString::number(origin.x() + rect.x + rect.w / 2),
                  QString::number(origin.y() + rect.y + rect.h / 2), QStringLiteral("click"), QStringLiteral("1")});
}

} // namespace brasslane::gui::test
