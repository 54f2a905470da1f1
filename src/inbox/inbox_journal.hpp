#pragma once

// InboxJournal: what an inbox operation reports (log lines, steps, calls of
// the message callback), held back while the operation runs inside a suite
// transaction and emitted in order once it has committed. Host code (the step
// and message callbacks) thus never runs while the suite is locked against
// other threads and processes, and the transaction touches no other suite
// (the debug log reads the SDK defaults).
//
// Thread-safety: none; a journal belongs to one operation on one thread.

#include <functional>
#include <string>
#include <vector>

#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/user_defaults.hpp"

namespace tavrino::inbox {

class InboxJournal {
 public:
  InboxJournal() { events_.reserve(16); }  // a store holds a dozen

  void log(std::string line);
  void step(std::string text);
  // A log line and a step of the same text.
  void logAndStep(std::string text);
  // A call of the message callback with these counts; only once the
  // operation committed.
  void counts(QivInbox::Counts counts);
  // A step that claims success; only once the operation committed.
  void stepIfCommitted(std::string text);
  // A log line that tells of a loss; only when the operation rolled back.
  void logIfRolledBack(std::string line);

  // Emits everything that applies, in order: log lines through the SDK log,
  // steps to the step list, counts to inbox.message_callback or, when it is
  // empty, to inbox.fakeMC. Leaves the journal empty.
  void replay(QivInbox& inbox, bool committed);

 private:
  enum class Kind { kLog, kStep, kCounts };
  enum class When { kAlways, kCommitted, kRolledBack };
  struct Event {
    Kind kind;
    When when;
    std::string text;
    QivInbox::Counts counts;
  };
  std::vector<Event> events_;
};

// Runs body inside a transaction of suite and then replays journal. Returns
// true iff body ran to its end and its writes committed. A write the suite
// refuses, a failed commit or an exception from body rolls the whole
// operation back; an exception stops body, and a log line tells.
bool runTransaction(platform::UserDefaultsSuite& suite, InboxJournal& journal, QivInbox& inbox,
                    const std::function<void()>& body);

}  // namespace tavrino::inbox
