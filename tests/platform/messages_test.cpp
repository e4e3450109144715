// Traces, posted private messages and message boxes, with their Qt back ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <functional>
#include <thread>

#include "platform/message_box.h"
#include "platform/qt/private_message_event.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_message_target.h"
#include "platform/recording_message_target.h"
#include "platform/trace.h"
#include "tests/support/patience.h"
#include "tests/support/qt_application.h"

using namespace std::chrono_literals;

namespace {


class Receiver : public QObject {
 public:
  std::vector<platform::PostedMessage> received;
  std::vector<uint64_t> senders;
  std::vector<std::thread::id> threads;
  bool event(QEvent* e) override {
    if (auto* m = dynamic_cast<platform::PrivateMessageEvent*>(e)) {
      EXPECT_EQ(static_cast<uint32_t>(e->type()), m->Message().message);
      received.push_back(m->Message());
      senders.push_back(m->Sender());
      threads.push_back(std::this_thread::get_id());
      return true;
    }
    return QObject::event(e);
  }
};

void ProcessEventsFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(1ms);
  }
}

// Processes events until the condition holds; false when patience ran out.
bool ProcessEventsUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + testing_support::kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

QMessageBox* WaitForVisibleMessageBox() {
  QMessageBox* shown = nullptr;
  ProcessEventsUntil([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) shown = box;
    return shown != nullptr;
  });
  return shown;
}

TEST(Trace, FormatsAndReachesTheSink) {
  std::vector<std::string> seen;
  {
    platform::ScopedTraceSink sink([&](std::string_view text) { seen.emplace_back(text); });
    platform::Trace("Start Parser Thread 0x%x, %d\n", 0xabcu, 3);
    platform::Trace("%s", std::string(2000, 'z').c_str());  // longer than the first buffer
  }
  platform::Trace("after the sink is gone\n");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "Start Parser Thread 0xabc, 3\n");
  EXPECT_EQ(seen[1], std::string(2000, 'z'));
}

TEST(RecordingMessageTarget, KeepsOrderAndWaits) {
  platform::RecordingMessageTarget target;
  std::thread poster([&] {
    std::this_thread::sleep_for(10ms);
    for (uint32_t i = 0; i < 100; ++i) target.Post(0x1000 + i % 2, i, -static_cast<intptr_t>(i));
  });
  auto first = target.WaitFor(0x1001, testing_support::kPatience);
  poster.join();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->wParam, 1u);
  EXPECT_EQ(first->lParam, -1);
  ASSERT_TRUE(target.WaitForCount(100, testing_support::kPatience));
  const auto all = target.Messages();
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].wParam, i);
  EXPECT_FALSE(target.WaitFor(0x2000, 5ms));
}

TEST(QtMessageTarget, DeliversOnTheReceiversThreadInPostingOrder) {
  testing_support::QtApplication();
  Receiver receiver;
  auto target = platform::QtMessageTarget::Create(&receiver);
  std::thread a([&] {
    for (uintptr_t i = 0; i < 50; ++i) target->Post(0x1211, i, 7);
  });
  a.join();
  target->Post(0x8D81, 99, -5);
  ProcessEventsUntil([&] { return receiver.received.size() >= 51; });
  ProcessEventsFor(20ms);  // and no more
  ASSERT_EQ(receiver.received.size(), 51u);
  for (uintptr_t i = 0; i < 50; ++i) EXPECT_EQ(receiver.received[i].wParam, i);
  EXPECT_EQ(receiver.received[50].message, 0x8D81u);
  EXPECT_EQ(receiver.received[50].lParam, -5);
  for (auto id : receiver.threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(platform::PrivateMessageType(0x1212), static_cast<QEvent::Type>(0x1212));
}

TEST(QtMessageTarget, EventsCarryTheTagOfTheTargetThatPostedThem) {
  testing_support::QtApplication();
  Receiver receiver;
  auto plain = platform::QtMessageTarget::Create(&receiver);
  auto first = platform::QtMessageTarget::Create(&receiver, 1);
  auto second = platform::QtMessageTarget::Create(&receiver, 2);
  first->Post(0x1212, 0, 10);
  second->Post(0x1212, 0, 20);
  plain->Post(0x8CB9, 0, 0);
  first->Post(0x1211, 0, 11);
  ProcessEventsUntil([&] { return receiver.received.size() >= 4; });
  ProcessEventsFor(20ms);  // and no more
  EXPECT_EQ(receiver.senders, (std::vector<uint64_t>{1, 2, 0, 1}));
  ASSERT_EQ(receiver.received.size(), 4u);
  EXPECT_EQ(receiver.received[1].lParam, 20);
}

TEST(QtMessageTarget, DropsPostsToADestroyedReceiver) {
  testing_support::QtApplication();
  auto receiver = std::make_unique<Receiver>();
  auto target = platform::QtMessageTarget::Create(receiver.get());
  target->Post(0x1212, 1, 1);  // pending when the receiver goes
  receiver.reset();
  std::thread late([&] {
    for (int i = 0; i < 100; ++i) target->Post(0x1212, 2, 2);
  });
  late.join();
  ProcessEventsFor(20ms);  // nothing may reach freed memory (ASan)
  SUCCEED();
}

TEST(QtMessageBox, ShowsOnTheUserInterfaceThreadWithoutBlockingTheCaller) {
  testing_support::QtApplication();
  platform::ScopedMessageBoxBackend scope(std::make_shared<platform::QtMessageBoxBackend>());
  std::thread worker([] { platform::ShowMessageBox("Open Vyx File Error!"); });
  worker.join();  // returns although nobody has answered the box
  QMessageBox* shown = WaitForVisibleMessageBox();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->text(), "Open Vyx File Error!");
  shown->accept();
  ProcessEventsFor(10ms);
}

TEST(QtMessageBox, ErrorBoxCarriesItsCaptionAndTheStopIcon) {
  testing_support::QtApplication();
  platform::ScopedMessageBoxBackend scope(std::make_shared<platform::QtMessageBoxBackend>());
  platform::ShowErrorBox("CPicture Error", "FindResource() Failed\t");
  QMessageBox* shown = WaitForVisibleMessageBox();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->windowTitle(), "CPicture Error");
  EXPECT_EQ(shown->text(), "FindResource() Failed\t");
  EXPECT_EQ(shown->icon(), QMessageBox::Critical);
  shown->accept();
  ProcessEventsFor(10ms);
}

TEST(MessageBox, RecordingBackEnd) {
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  std::thread([] { platform::ShowMessageBox("Vyx File Error!"); }).join();
  EXPECT_EQ(boxes->WaitForText(testing_support::kPatience), "Vyx File Error!");
  platform::ShowErrorBox("CPicture Error", "LoadResource() Failed\t");
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Vyx File Error!", "LoadResource() Failed\t"}));
  EXPECT_EQ(boxes->Captions(), (std::vector<std::string>{"", "CPicture Error"}));
}

}  // namespace
