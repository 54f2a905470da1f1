#pragma once

// Names the inbox shares with its producers: the keys of a message map, the
// entry prefix and the settings it reads.

#include <string_view>

namespace tavrino::inbox {

inline constexpr std::string_view kId = "zbid";
inline constexpr std::string_view kUpdateId = "qivibxzbid";
inline constexpr std::string_view kTimeout = "qivibxttl";
inline constexpr std::string_view kCategory = "qivibxmt";
inline constexpr std::string_view kTitle = "qivibxcap";
inline constexpr std::string_view kMessage = "qivibxbody";
inline constexpr std::string_view kUrl = "qivibxu";
inline constexpr std::string_view kImageUrl = "qivibximg";
inline constexpr std::string_view kStatus = "qivibxr";
inline constexpr std::string_view kDate = "qivibxdate";
inline constexpr std::string_view kChannel = "qivibxchannel";
inline constexpr std::string_view kTimeoutDate = "qivibxtimeout";

inline constexpr std::string_view kStatusUnread = "2";
inline constexpr std::string_view kStatusRead = "1";

// Inbox suite.
inline constexpr std::string_view kEntryPrefix = "qiv_inbox_";
inline constexpr std::string_view kStoreExpiredMessages = "store_expired_messages";

// SDK defaults.
inline constexpr std::string_view kGroupName = "qiv_inbox_groupname";
inline constexpr std::string_view kEnableInbox = "_enable_inbox";
inline constexpr std::string_view kHistorySize = "_inbox_history_size";
inline constexpr std::string_view kDefaultTimeout = "_inbox_default_timeout";
inline constexpr std::string_view kCategoryCallbackSwitch = "inboxcb";

}  // namespace tavrino::inbox
