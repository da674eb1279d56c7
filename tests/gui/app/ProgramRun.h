#pragma once

// The built desktop app run as a process against the simulated keyboard, with its own home,
// XDG folders and runtime folder, reporting its states on standard output.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>

#include <filesystem>

namespace brasslane::gui::test {

// The program's environment: everything it writes goes below `root`.
inline QProcessEnvironment ProgramEnvironment(const std::filesystem::path& root, const QString& platform) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString base = QString::fromStdString(root.string());
    environment.insert(QStringLiteral("HOME"), base + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), base + QStringLiteral("/home/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), base + QStringLiteral("/home/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), base + QStringLiteral("/run"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.insert(QStringLiteral("BRASSLANE_TRACE_STATES"), QStringLiteral("1"));
    environment.remove(QStringLiteral("BRASSLANE_EXIT_AFTER_INIT"));
    environment.remove(QStringLiteral("BRASSLANE_SIM_FAULTS"));
    std::filesystem::create_directories(root / "run");
    std::filesystem::permissions(root / "run", std::filesystem::perms::owner_all);
    return environment;
}

class ProgramRun {
public:
    ProgramRun(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessEnvironment(environment);
        m_process.start();
    }
    ~ProgramRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool Started() { return m_process.waitForStarted(5000); }

    // Waits until the program printed "brasslane: state <state>".
    bool WaitForState(const QString& state, int ms = 10000) {
        const QString line = QStringLiteral("brasslane: state ") + state + QLatin1Char('\n');
        QDeadlineTimer deadline(ms);
        while (!Output().contains(line)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                return Output().contains(line);
            }
            m_process.waitForReadyRead(50);
        }
        return true;
    }

    // Waits for the end of the program; -1 when it did not end in time or crashed.
    int WaitForExit(int ms = 10000) {
        if (!m_process.waitForFinished(ms) || m_process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return m_process.exitCode();
    }

    const QString& Output() {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }

private:
    QProcess m_process;
    QString m_output;
};

} // namespace brasslane::gui::test
