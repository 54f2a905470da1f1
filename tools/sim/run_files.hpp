#pragma once

// What a run leaves behind and compares: the output folder and the SDK's
// store between steps.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavrino::sim {

// Makes folder ready for a run: creates it, or empties one that an earlier
// run made (it holds the marker file ".tavrino-sim"). Refuses, with *error
// set, a folder with other contents: the simulator never deletes what it
// did not write.
bool prepareOutputFolder(const std::filesystem::path& folder, std::string* error);

// The "qiv_default" store as text: binary values (archives) as "<N bytes>".
using StoreSnapshot = std::map<std::string, std::string>;
StoreSnapshot snapshotStore();

struct StoreChange {
  std::string key;
  std::optional<std::string> before;  // nothing: added
  std::optional<std::string> after;   // nothing: removed
};

// What changed from before to after, leaving out the bookkeeping every page
// view rewrites (visit counters and times).
std::vector<StoreChange> diffStore(const StoreSnapshot& before, const StoreSnapshot& after);

// "picture-03-show-home": file-name-safe, lower case.
std::string slug(std::string_view text, std::size_t limit = 40);

}  // namespace tavrino::sim
