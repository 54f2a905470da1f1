#include "sim/sdk_messages.hpp"

#include <functional>
#include <vector>

namespace tavrino::sim {
namespace {

bool startsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

std::string after(std::string_view line, std::string_view prefix) {
  return std::string(line.substr(std::min(prefix.size(), line.size())));
}

// "\nkey : id , value : 31\nkey : di , value : i" -> "id=31 di=i"
std::string mapPairs(std::string_view rendered) {
  std::string out;
  std::size_t at = 0;
  while ((at = rendered.find("\nkey : ", at)) != std::string_view::npos) {
    at += 7;
    const auto end = rendered.find('\n', at);
    std::string_view entry = rendered.substr(at, end == std::string_view::npos ? end : end - at);
    const auto comma = entry.find(" , value : ");
    std::string pair(entry.substr(0, comma));
    if (comma != std::string_view::npos) {
      pair += '=';
      pair += entry.substr(comma + 11);
    }
    if (pair.size() > 60) pair = pair.substr(0, 57) + "...";
    out += (out.empty() ? "" : " ") + pair;
  }
  return out;
}

struct Rule {
  std::function<bool(std::string_view)> matches;
  std::function<Decision(std::string_view)> decide;
};

Rule prefix(std::string_view p, std::string what,
            std::function<std::string(std::string_view)> text) {
  return {[p](std::string_view line) { return startsWith(line, p); },
          [what = std::move(what), text = std::move(text)](std::string_view line) {
            return Decision{what, text(line)};
          }};
}

Rule fixed(std::string_view p, std::string what, std::string text) {
  return prefix(p, std::move(what), [text = std::move(text)](std::string_view) { return text; });
}

Rule exact(std::string_view whole, std::string what, std::string text) {
  return {[whole](std::string_view line) { return line == whole; },
          [what = std::move(what), text = std::move(text)](std::string_view) {
            return Decision{what, text};
          }};
}

const std::vector<Rule>& rules() {
  static const std::vector<Rule> table = {
      fixed("ui_sb setParameters called.", "shown", "campaign passed its show criteria"),
      fixed("checking showing criteria .per unique visitor show count.return.", "heldBack",
            "held back: shown as often as allowed to this visitor"),
      fixed("checking showing criteria .per visit show count.return.", "heldBack",
            "held back: shown as often as allowed in this visit"),
      fixed("checking showing criteria .per unique visitor(1 per visit) show count.return.",
            "heldBack", "held back: already shown in this visit"),
      prefix("show once per pageview. group name : ", "heldBack",
             [](std::string_view line) {
               std::string group = after(line, "show once per pageview. group name : ");
               if (group.ends_with(".return.")) group.resize(group.size() - 8);
               return "held back: group \"" + group + "\" already shown on this page";
             }),
      prefix("AsyncTask doinbackground called. hasinboxmessage : ", "filed",
             [](std::string_view line) {
               const std::string answer =
                   after(line, "AsyncTask doinbackground called. hasinboxmessage : ");
               return answer == "write" ? std::string("inbox campaign filed into the inbox")
                                        : "inbox campaign not filed (" + answer + ")";
             }),
      fixed("d response not ready", "waiting", "listing badges wait for the page's answer"),
      prefix(
          "repeat custom event : ", "replayed",
          [](std::string_view line) { return "repeats " + after(line, "repeat custom event : "); }),
      prefix("add_act called with : ", "action",
             [](std::string_view line) { return "action runs: " + mapPairs(line); }),
      prefix("add_lbl called with : ", "label",
             [](std::string_view line) { return "label runs: " + mapPairs(line); }),
      prefix("run functions called. invoke method with --> classname : ", "hostMethod",
             [](std::string_view line) {
               return "campaign calls host method " +
                      after(line, "run functions called. invoke method with --> classname : ");
             }),
      prefix("method not found arg : ", "refused",
             [](std::string_view line) {
               return "host method not found: " + after(line, "method not found arg : ");
             }),
      exact("create banner called.", "shown", "banner controller lays the campaign out"),
      prefix("create banner called. Unknown banner function : ", "refused",
             [](std::string_view line) {
               return "banner refused: unknown kind " +
                      after(line, "create banner called. Unknown banner function : ");
             }),
      fixed("create banner called. Inline frame did not found.", "refused",
            "inline frame refused: no host view carries its identifier"),
      prefix("create banner domain not allowed : ", "refused",
             [](std::string_view line) {
               return "banner page refused, domain not allowed: " +
                      after(line, "create banner domain not allowed : ");
             }),
      prefix("create banner page is not a URL : ", "refused",
             [](std::string_view line) { return "banner page refused: " + std::string(line); }),
      prefix("create banner", "refused",
             [](std::string_view line) { return "banner refused: " + std::string(line); }),
      fixed("badge banner called", "badge", "listing badge definition registered"),
      prefix(
          "add badge to : ", "badge",
          [](std::string_view line) { return "badge laid on " + after(line, "add badge to : "); }),
      prefix("campaign skipped.", "refused",
             [](std::string_view line) { return std::string(line); }),
      prefix("cookie instruction skipped", "refused",
             [](std::string_view line) { return std::string(line); }),
      fixed("shake trigger spent. not armed", "refused", "shake trigger spent: not armed again"),
      fixed("setClickCookie called.", "click", "click recorded"),
      prefix("pushClicked", "push", [](std::string_view line) { return std::string(line); }),
      prefix("request failed : ", "failed",
             [](std::string_view line) {
               return "request failed: " + after(line, "request failed : ");
             }),
      {[](std::string_view line) { return line.ends_with("execcount did not match"); },
       [](std::string_view line) {
         return Decision{"dropped",
                         "dropped, a newer page view started (" + std::string(line) + ")"};
       }},
      {[](std::string_view line) { return line.find(" failed : ") != std::string_view::npos; },
       [](std::string_view line) {
         return Decision{"failed", std::string(line)};
       }},
  };
  return table;
}

}  // namespace

bool isNotableStep(std::string_view step) {
  for (std::string_view word : {"push", "notification", "click", "redirection", "callback"}) {
    if (step.find(word) != std::string_view::npos && step.find("is push enabled") != 0) {
      return true;
    }
  }
  return false;
}

std::string_view stripLogPrefix(std::string_view line) {
  constexpr std::string_view kPrefix = "tavrino_log : ";
  return startsWith(line, kPrefix) ? line.substr(kPrefix.size()) : line;
}

std::optional<Decision> decisionOf(std::string_view line) {
  for (const Rule& rule : rules()) {
    if (rule.matches(line)) return rule.decide(line);
  }
  return std::nullopt;
}

}  // namespace tavrino::sim
