#include "inbox/inbox_journal.hpp"

#include <exception>
#include <optional>
#include <utility>

#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::inbox {
namespace {

// The condition under which addLog() writes.
bool debugLogOn() {
  const auto test = Util::qivDefaults()->string("qivtest");
  return test && !test->empty();
}

}  // namespace

void InboxJournal::log(std::string line) {
  events_.push_back({Kind::kLog, When::kAlways, std::move(line), {}});
}

void InboxJournal::step(std::string text) {
  events_.push_back({Kind::kStep, When::kAlways, std::move(text), {}});
}

void InboxJournal::logAndStep(std::string text) {
  log(text);
  step(std::move(text));
}

void InboxJournal::counts(QivInbox::Counts counts) {
  events_.push_back({Kind::kCounts, When::kCommitted, {}, std::move(counts)});
}

void InboxJournal::stepIfCommitted(std::string text) {
  events_.push_back({Kind::kStep, When::kCommitted, std::move(text), {}});
}

void InboxJournal::logIfRolledBack(std::string line) {
  events_.push_back({Kind::kLog, When::kRolledBack, std::move(line), {}});
}

void InboxJournal::replay(QivInbox& inbox, bool committed) {
  std::vector<Event> events;
  events.swap(events_);
  // The debug switch is read once per run of log lines, not per line (addLog()
  // reads it from the store each time); again after a step or a callback,
  // since the host's code may have switched it.
  std::optional<bool> logging;
  for (const auto& event : events) {
    if (event.when == (committed ? When::kRolledBack : When::kCommitted)) continue;
    switch (event.kind) {
      case Kind::kLog:
        if (!logging) logging = debugLogOn();
        if (*logging) QivUtil::addLog(event.text);
        break;
      case Kind::kStep:
        recordStep(event.text);
        logging.reset();
        break;
      case Kind::kCounts:
        // A copy: the callback may replace itself through checkCallback.
        if (QivInbox::MessageCallback callback = inbox.message_callback) {
          callback(event.counts);
        } else {
          inbox.fakeMC(event.counts);
        }
        logging.reset();
        break;
    }
  }
}

bool runTransaction(platform::UserDefaultsSuite& suite, InboxJournal& journal, QivInbox& inbox,
                    const std::function<void()>& body) {
  bool started = false;
  bool committed = false;
  try {
    // The exception goes on to the suite, which rolls everything back.
    committed = suite.transaction([&] {
      started = true;
      try {
        body();
      } catch (const std::exception& e) {
        journal.log(std::string("inbox operation stopped : ") + e.what());
        throw;
      } catch (...) {
        journal.log("inbox operation stopped");
        throw;
      }
    });
  } catch (...) {
    committed = false;  // a suite that lets it through has rolled back too
  }
  if (!started) journal.log("inbox store unavailable : " + suite.name());
  journal.replay(inbox, committed);
  return committed;
}

}  // namespace tavrino::inbox
