// Push payloads, campaign messages and stored archives reaching the inbox.

#include <cstdint>

#include "core/keyed_archive.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/json_helpers.hpp"

using namespace tavrino;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  const Data bytes(data, data + size);
  const QivInboxHelper helper;

  const Value payload = Util::parseJSONObject(bytes);
  helper.convertMessageObjectFromPush(payload);
  helper.convertDictionary(helper.convertMessageObject(payload));
  helper.createMessageMap(payload);
  Util::hasInboxMessage(payload);

  if (const auto archived = unarchiveDictionary(bytes)) {
    helper.convertDictionary(helper.convertMessageObject(*archived));
  }
  return 0;
}
