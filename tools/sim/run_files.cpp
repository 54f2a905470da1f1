#include "sim/run_files.hpp"

#include <fstream>
#include <set>

#include "tavrino/util/store.hpp"

namespace tavrino::sim {
namespace {

constexpr const char* kMarker = ".tavrino-sim";

// Rewritten by every page view or request; they would drown what a step
// really changed.
bool isBookkeeping(const std::string& key) {
  static const std::set<std::string> keys = {"vt",
                                             "fvt",
                                             "vc",
                                             "pvc",
                                             "lvt",
                                             "visitflag",
                                             "groupname",
                                             "uids",
                                             "qiv_vstp",
                                             "_enable_hash",
                                             "_push_click_link"};
  return keys.contains(key);
}

}  // namespace

bool prepareOutputFolder(const std::filesystem::path& folder, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(folder, ec)) {
    if (!fs::is_directory(folder, ec)) {
      *error = folder.string() + " is not a folder";
      return false;
    }
    const bool empty = fs::is_empty(folder, ec);
    if (!empty && !fs::exists(folder / kMarker, ec)) {
      *error = folder.string() +
               " holds files the simulator did not write; name an empty or new folder with --out";
      return false;
    }
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      fs::remove_all(entry.path(), ec);
      if (ec) {
        *error = "cannot empty " + folder.string() + ": " + ec.message();
        return false;
      }
    }
  }
  fs::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder.string() + ": " + ec.message();
    return false;
  }
  std::ofstream(folder / kMarker) << "written by tavrino-sim; emptied by its next run\n";
  return true;
}

StoreSnapshot snapshotStore() {
  StoreSnapshot snapshot;
  for (const auto& [key, value] : Util::qivDefaults()->dictionaryRepresentation()) {
    if (value.is_string()) {
      snapshot[key] = value.get<std::string>();
    } else if (value.is_binary()) {
      std::string described = "<";
      described += std::to_string(value.get_binary().size());
      snapshot[key] = described + " bytes>";
    } else {
      snapshot[key] = value.dump();
    }
  }
  return snapshot;
}

std::vector<StoreChange> diffStore(const StoreSnapshot& before, const StoreSnapshot& after) {
  std::vector<StoreChange> changes;
  for (const auto& [key, value] : after) {
    if (isBookkeeping(key)) continue;
    const auto old = before.find(key);
    if (old == before.end()) {
      changes.push_back({key, std::nullopt, value});
    } else if (old->second != value) {
      changes.push_back({key, old->second, value});
    }
  }
  for (const auto& [key, value] : before) {
    if (!isBookkeeping(key) && !after.contains(key)) changes.push_back({key, value, std::nullopt});
  }
  return changes;
}

std::string slug(std::string_view text, std::size_t limit) {
  std::string out;
  for (char c : text) {
    if (out.size() >= limit) break;
    const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (keep) {
      out += c;
    } else if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if (!out.empty() && out.back() != '-') {
      out += '-';
    }
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out.empty() ? "step" : out;
}

}  // namespace tavrino::sim
