#pragma once

// The pieces a request URL is built from, shared by the request builders.
// Each reads the store at most once per request.

#include <cstdint>
#include <string>

#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino::request {

// What one request needs from the store, read in one walk. Texts are empty
// when the entry is absent or no text.
struct StoreReading {
  std::string baseUrl;        // "_cburl"
  std::string companyId;      // "_s"
  std::string testCompanyId;  // "companyid"
  std::string visitCount;     // "vc"
  std::string pageViewCount;  // "pvc"
  std::string firstTimeUser;  // "ftu"
  std::string test;           // "qivtest"
  std::string member;         // "memberid"
  std::string force;          // "qivforce"
  std::string bucket;         // "qivrandom"
  // The encoded store pairs ("&key=value" each, in key order); filled only
  // when asked for, together with the expiry sweep.
  std::string pairs;
};

// Reads the store for a request. With pairs, also collects the entries that
// ride along and removes the expired ones (after the walk, in one
// transaction, each only if it still holds the value the walk saw).
StoreReading readStore(platform::UserDefaultsSuite& suite, bool withPairs);

// Appends the parameter pairs: the client's map merged with the system
// parameters (client entries win, except "s", the stored company id), in
// byte order of the keys, without the SDK's own "_" switches.
void appendParameterPairs(std::string& out, const StringMap& custom, const StoreReading& store);

// Appends the page's cart item pairs, capped at the item text limit.
void appendItemPairs(std::string& out);

}  // namespace tavrino::request
