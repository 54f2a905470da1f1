// Push payloads, campaign messages and stored archives reaching the inbox.
//
// Invariants: a push payload's map holds only keys of the stored form, and
// storing keeps each; every conversion gives the full twelve-key form; a
// record read from its stored form gives that form back; a stored form
// survives the archive unchanged.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/keyed_archive.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/json_helpers.hpp"

using namespace tavrino;

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "inbox payload invariant broken: %s\n", what);
  std::abort();
}

void checkStoredForm(const QivInboxHelper& helper, const StringMap& form) {
  if (form.size() != 12) fail("stored form without its twelve keys");
  if (helper.convertDictionary(helper.convertMessageObject(Value(form))) != form) {
    fail("stored form changed through its record");
  }
  if (unarchiveDictionary(archiveDictionary(Value(form))) != Value(form)) {
    fail("stored form changed through the archive");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  const Data bytes(data, data + size);
  const QivInboxHelper helper;

  const Value payload = Util::parseJSONObject(bytes);
  // The push map is what a producer stores: only keys of the stored form.
  const StringMap push = helper.convertMessageObjectFromPush(payload);
  const StringMap pushStored = helper.createMessageMap(Value(push));
  checkStoredForm(helper, pushStored);
  for (const auto& [key, value] : push) {
    if (!pushStored.contains(key) || pushStored.at(key) != value) fail("push map key not stored");
  }
  checkStoredForm(helper, helper.convertDictionary(helper.convertMessageObject(payload)));
  checkStoredForm(helper, helper.createMessageMap(payload));
  const std::string decision = Util::hasInboxMessage(payload);
  if (decision != "write" && decision != "delete" && decision != "none") fail("unknown decision");

  if (const auto archived = unarchiveDictionary(bytes)) {
    checkStoredForm(helper, helper.convertDictionary(helper.convertMessageObject(*archived)));
  }
  return 0;
}
