#pragma once

// Social proof: a count the service keeps per campaign ("how many people
// look at this"), shown in a banner's texts in place of "$$total$$".
//
// The count comes from <origin>/sproof/?s=<client value>&t=<_spid>&i=<_spiid>&e=g,
// which answers a JSON array of objects: [{"<i>": {"<t>": count}}, ...].
//
// Thread-safety: every function may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::banner {

// Never resolves: a host that wants social proof names its origin.
inline constexpr std::string_view kDefaultSocialProofOrigin = "https://sproof.tavrino.invalid";

// Sets the process-wide origin the counts come from: "https://" or "http://"
// followed by a host and an optional ":port" (one trailing "/" is dropped).
// Anything else (a path, a query, user information, blanks, control
// characters) is refused with a log line and false, leaving the current one.
TAVRINO_EXPORT bool setSocialProofOrigin(std::string_view origin);
TAVRINO_EXPORT std::string socialProofOrigin();

// The count URL for the client-map value and the campaign's "_spid" and
// "_spiid", each percent-encoded as a query value; nothing when one is not
// UTF-8.
TAVRINO_EXPORT std::optional<std::string> socialProofUrl(std::string_view clientValue,
                                                         std::string_view spid,
                                                         std::string_view spiid);

// Reads an answer: the first element whose member spiid is an object holding
// a whole number under spid gives the count; 0 when none does or the answer
// is no JSON array.
TAVRINO_EXPORT std::int64_t socialProofCount(const Data& answer, std::string_view spid,
                                             std::string_view spiid);

// Whether some text in params (at any depth) holds "$$total$$" in any case.
TAVRINO_EXPORT bool hasSocialProofPlaceholder(const Value& params);
// Replaces every "$$total$$" (any case) in every text of params, at any
// depth, by count; maps and lists keep their shape.
TAVRINO_EXPORT void fillSocialProofCount(Value& params, std::int64_t count);

}  // namespace tavrino::banner
