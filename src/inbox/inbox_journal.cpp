#include "inbox/inbox_journal.hpp"

#include <exception>
#include <utility>

#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino::inbox {

void InboxJournal::log(std::string line) {
  events_.push_back({Event::Kind::kLog, std::move(line), {}});
}

void InboxJournal::step(std::string text) {
  events_.push_back({Event::Kind::kStep, std::move(text), {}});
}

void InboxJournal::logAndStep(std::string text) {
  log(text);
  step(std::move(text));
}

void InboxJournal::counts(QivInbox::Counts counts) {
  events_.push_back({Event::Kind::kCounts, {}, std::move(counts)});
}

void InboxJournal::replay(QivInbox& inbox) {
  std::vector<Event> events;
  events.swap(events_);
  for (const auto& event : events) {
    switch (event.kind) {
      case Event::Kind::kLog:
        QivUtil::addLog(event.text);
        break;
      case Event::Kind::kStep:
        recordStep(event.text);
        break;
      case Event::Kind::kCounts:
        // A copy: the callback may replace itself through checkCallback.
        if (QivInbox::MessageCallback callback = inbox.message_callback) {
          callback(event.counts);
        } else {
          inbox.fakeMC(event.counts);
        }
        break;
    }
  }
}

bool runTransaction(platform::UserDefaultsSuite& suite, InboxJournal& journal, QivInbox& inbox,
                    const std::function<void()>& body) {
  bool started = false;
  bool finished = false;
  suite.transaction([&] {
    started = true;
    try {
      body();
      finished = true;
    } catch (const std::exception& e) {
      journal.log(std::string("inbox operation stopped : ") + e.what());
    } catch (...) {
      journal.log("inbox operation stopped");
    }
  });
  if (!started) journal.log("inbox store unavailable : " + suite.name());
  journal.replay(inbox);
  return finished;
}

}  // namespace tavrino::inbox
