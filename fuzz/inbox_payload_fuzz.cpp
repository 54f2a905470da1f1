// Push payloads, campaign messages and stored archives reaching the inbox.
//
// Invariants: a push payload's map holds only keys of the stored form, and
// storing keeps each; every conversion gives the full twelve-key form; a
// record read from its stored form gives that form back; a stored form
// survives the archive unchanged.

#include "core/keyed_archive.hpp"
#include "fuzz_support.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/util/inbox.hpp"

using namespace tavrino;
using fuzz::require;

namespace {

void checkStoredForm(const QivInboxHelper& helper, const StringMap& form) {
  require(form.size() == 12, "stored form without its twelve keys");
  require(helper.convertDictionary(helper.convertMessageObject(Value(form))) == form,
          "stored form changed through its record");
  require(unarchiveDictionary(archiveDictionary(Value(form))) == Value(form),
          "stored form changed through the archive");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  const QivInboxHelper helper;
  const Value payload = fuzz::jsonObject(data, size);
  // The push map is what a producer stores: only keys of the stored form.
  const StringMap push = helper.convertMessageObjectFromPush(payload);
  const StringMap pushStored = helper.createMessageMap(Value(push));
  checkStoredForm(helper, pushStored);
  for (const auto& [key, value] : push) {
    require(pushStored.contains(key) && pushStored.at(key) == value, "push map key not stored");
  }
  checkStoredForm(helper, helper.convertDictionary(helper.convertMessageObject(payload)));
  checkStoredForm(helper, helper.createMessageMap(payload));
  const std::string decision = Util::hasInboxMessage(payload);
  require(decision == "write" || decision == "delete" || decision == "none", "unknown decision");
  if (const auto archived = unarchiveDictionary(Data(data, data + size))) {
    checkStoredForm(helper, helper.convertDictionary(helper.convertMessageObject(*archived)));
  }
  return 0;
}
