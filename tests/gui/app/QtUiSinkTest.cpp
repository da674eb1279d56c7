// The sink that carries the device threads' calls onto the GUI thread.

#include "AppTestHarness.h"

#include "gui/QtUiSink.h"

#include "core/base/Messages.h"
#include "support/ManualClock.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace brasslane::gui::test {
namespace {

struct Recorded {
    std::vector<std::uint32_t> messages;
    std::vector<QThread*> threads;
};

QtUiSink::Handlers Recording(Recorded& recorded) {
    QtUiSink::Handlers handlers;
    handlers.message = [&recorded](std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
        recorded.messages.push_back(message);
        recorded.threads.push_back(QThread::currentThread());
        return static_cast<std::intptr_t>(wParam + 1);
    };
    handlers.timer = [&recorded](int id, int) {
        recorded.messages.push_back(static_cast<std::uint32_t>(id));
        recorded.threads.push_back(QThread::currentThread());
    };
    handlers.trayIcon = [&recorded](int id) {
        recorded.messages.push_back(static_cast<std::uint32_t>(id));
        recorded.threads.push_back(QThread::currentThread());
    };
    handlers.hideMainWindow = [&recorded] {
        recorded.messages.push_back(0);
        recorded.threads.push_back(QThread::currentThread());
    };
    return handlers;
}

// Runs every call queued for the GUI thread so far.
void RunQueuedCalls() {
    QCoreApplication::sendPostedEvents();
}

bool IsReady(const std::future<std::intptr_t>& result) {
    return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

TEST(QtUiSinkTest, SendFromADeviceThreadWaitsForTheGuiThreadAndReturnsItsResult) {
    brasslane::test::ManualClock clock;
    QtUiSink sink(&clock);
    Recorded recorded;
    sink.SetHandlers(Recording(recorded));

    std::future<std::intptr_t> result =
        std::async(std::launch::async, [&sink] { return sink.Send(MSG_PROFILE_SYNC, 41, 0); });
    // Nothing runs until the GUI thread takes its events: the sender is parked waiting.
    ASSERT_TRUE(clock.WaitForParked(1));
    EXPECT_FALSE(IsReady(result));
    EXPECT_TRUE(recorded.messages.empty());

    RunQueuedCalls();
    ASSERT_TRUE(WaitFor([&] { return IsReady(result); }));
    EXPECT_EQ(result.get(), 42);
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_EQ(recorded.threads[0], QThread::currentThread());

    // On the GUI thread itself the call runs at once.
    EXPECT_EQ(sink.Send(MSG_DEVICE_LOST, 9, 0), 10);
    EXPECT_EQ(recorded.messages.size(), 2u);
}

TEST(QtUiSinkTest, QueuedCallsRunOnTheGuiThreadInOrder) {
    brasslane::test::ManualClock clock;
    QtUiSink sink(&clock);
    Recorded recorded;
    sink.SetHandlers(Recording(recorded));

    std::thread device([&sink] {
        sink.Post(MSG_OPEN, kCodeOpen, 0);
        sink.SetTimer(kTimerLightingReload, 1);
        sink.SetTrayIcon(kIconConnected);
        sink.HideMainWindow();
    });
    device.join();
    // A post from the GUI thread is queued too: the poster goes on before it is handled.
    sink.Post(MSG_INIT, kCodeInit, 0);
    EXPECT_TRUE(recorded.messages.empty());

    RunQueuedCalls();
    EXPECT_EQ(recorded.messages, (std::vector<std::uint32_t>{MSG_OPEN, static_cast<std::uint32_t>(kTimerLightingReload),
                                                             static_cast<std::uint32_t>(kIconConnected), 0, MSG_INIT}));
    for (QThread* thread : recorded.threads) {
        EXPECT_EQ(thread, QThread::currentThread());
    }
}

TEST(QtUiSinkTest, ShutdownReleasesAThreadWaitingInSendAndDropsLaterCalls) {
    brasslane::test::ManualClock clock;
    QtUiSink sink(&clock);
    Recorded recorded;
    sink.SetHandlers(Recording(recorded));

    std::atomic<bool> sent{false};
    std::intptr_t result = -1;
    // The GUI thread does not take events here, as when it is joining the device threads in
    // the close sequence: without the shutdown this would deadlock.
    std::thread monitor([&] {
        result = sink.Send(MSG_PROFILE_SYNC, kCodeProf, 0);
        sent = true;
    });
    ASSERT_TRUE(clock.WaitForParked(1));
    EXPECT_FALSE(sent.load());
    sink.BeginShutdown();
    monitor.join();
    EXPECT_EQ(result, 0);

    // The abandoned call never reaches the window, nor does anything after the shutdown.
    EXPECT_EQ(sink.Send(MSG_OPEN, kCodeOpen, 0), 0);
    sink.Post(MSG_OPEN, kCodeOpen, 0);
    sink.SetTrayIcon(kIconNoKeyboard);
    RunQueuedCalls();
    EXPECT_TRUE(recorded.messages.empty());
}

TEST(QtUiSinkTest, MessagesFromADeviceThreadTakeThePresetAnswer) {
    MessageBox::SetNeverBlock(true);
    MessageBox::ClearShown();
    brasslane::test::ManualClock clock;
    QtUiSink sink(&clock);

    QtUiSink::SetNextAnswer(MessageAnswer::kYes);
    std::future<MessageAnswer> yes = std::async(
        std::launch::async, [&sink] { return sink.ShowMessage("Replace?", "Brasslane", MessageButtons::kYesNo); });
    ASSERT_TRUE(WaitFor([&] { return yes.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(yes.get(), MessageAnswer::kYes);

    // Without a preset answer a question takes its preselected answer, No.
    std::future<MessageAnswer> no = std::async(
        std::launch::async, [&sink] { return sink.ShowMessage("Replace again?", "", MessageButtons::kYesNo); });
    ASSERT_TRUE(WaitFor([&] { return no.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(no.get(), MessageAnswer::kNo);

    // A Yes meant for a question does not turn an OK box into a question.
    QtUiSink::SetNextAnswer(MessageAnswer::kYes);
    EXPECT_EQ(sink.ShowMessage("Done", "", MessageButtons::kOk), MessageAnswer::kOk);

    ASSERT_EQ(MessageBox::ShownSoFar().size(), 3u);
    EXPECT_EQ(MessageBox::ShownSoFar()[0].text, QStringLiteral("Replace?"));
    EXPECT_EQ(MessageBox::ShownSoFar()[0].caption, QStringLiteral("Brasslane"));
    EXPECT_EQ(MessageBox::ShownSoFar()[1].buttons, MessageButtons::kYesNo);

    // After the shutdown a question is answered No at once, without a box.
    sink.BeginShutdown();
    EXPECT_EQ(
        std::async(std::launch::async, [&sink] { return sink.ShowMessage("Late", "", MessageButtons::kYesNo); }).get(),
        MessageAnswer::kNo);
    EXPECT_EQ(MessageBox::ShownSoFar().size(), 3u);
    MessageBox::SetNeverBlock(false);
}

} // namespace
} // namespace brasslane::gui::test
