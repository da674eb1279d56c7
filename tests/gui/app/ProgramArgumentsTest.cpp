// The program's own arguments as a user types them: --help and --version print and end with 0
// without a display, an unknown argument is named on standard error, and a runtime folder that
// cannot be used is said to be the reason.

#include "ProgramRun.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace brasslane::gui::test {
namespace {

#if defined(BRASSLANE_APP_PATH)
const QString kProgram = QStringLiteral(BRASSLANE_APP_PATH);
#else
const QString kProgram;
#endif

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

Finished RunToEnd(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(kProgram, arguments);
    Finished result;
    if (process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished(3000);
    }
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

TEST(ProgramArgumentsTest, HelpVersionAndUnknownArguments) {
    if (kProgram.isEmpty() || !QFile::exists(kProgram)) {
        GTEST_SKIP() << "the built program is not there";
    }
    QTemporaryDir root;
    QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("offscreen"));
    // No display at all: help and version must not need one.
    QProcessEnvironment bare = environment;
    bare.remove(QStringLiteral("QT_QPA_PLATFORM"));
    bare.remove(QStringLiteral("DISPLAY"));
    bare.remove(QStringLiteral("WAYLAND_DISPLAY"));

    const Finished help = RunToEnd({QStringLiteral("--help")}, bare);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    for (const char* part : {"Usage: brasslane", "/Start", "/Kill", "--simulate", "--model", "--version"}) {
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(part))) << part << "\n" << help.out.toStdString();
    }
    EXPECT_EQ(RunToEnd({QStringLiteral("-h")}, bare).out, help.out);

    const Finished version = RunToEnd({QStringLiteral("--version")}, bare);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("brasslane "))) << version.out.toStdString();
    EXPECT_TRUE(version.out.contains(QRegularExpression(QStringLiteral("^brasslane \\d+\\.\\d+\\.\\d+\\n$"))))
        << version.out.toStdString();

    // An unknown argument is named and ignored: the program starts and ends as usual.
    environment.insert(QStringLiteral("BRASSLANE_EXIT_AFTER_INIT"), QStringLiteral("1"));
    const Finished unknown = RunToEnd({QStringLiteral("--simulate"), QStringLiteral("--bogus")}, environment);
    EXPECT_EQ(unknown.exitCode, 0) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("ignoring unknown argument \"--bogus\"")))
        << unknown.err.toStdString();
    EXPECT_TRUE(unknown.out.contains(QStringLiteral("start-up finished")));

    // A runtime folder that is a file cannot be used: said so, not blamed on another copy.
    const QString blocked = root.filePath(QStringLiteral("blocked"));
    {
        QFile file(blocked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), blocked);
    const Finished folder = RunToEnd({QStringLiteral("--simulate")}, environment);
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_TRUE(folder.err.contains(QStringLiteral("runtime folder"))) << folder.err.toStdString();
    EXPECT_FALSE(folder.err.contains(QStringLiteral("does not answer"))) << folder.err.toStdString();
}

} // namespace
} // namespace brasslane::gui::test
