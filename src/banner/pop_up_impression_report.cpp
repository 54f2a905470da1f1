// The pairs of the impression report.

#include <string>

#include "pop_up_impression.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino::banner {
namespace {

bool isPositiveWhole(const std::string& text) {
  std::int64_t value = 0;
  return parseInteger(text, &value) && value > 0;
}

// "bvw" marks a bulk view when it is a number other than 0, or a text that
// is no number at all.
bool isBulkView(const std::string& bvw) {
  const auto number = tracking::decimalNumber(bvw);
  return number ? *number != 0 : bvw != "0";
}

// The kind's communication type and id go out only as positive whole
// numbers; the delay rides along with either.
void addCommunication(const Value& params, StringMap& report, const char* typeKey,
                      const char* idKey, const char* delayKey) {
  const std::string type = Util::tryCatch(params, typeKey, "0");
  const std::string id = Util::tryCatch(params, idKey, "0");
  bool added = false;
  if (isPositiveWhole(type)) {
    report["qivcmmtyp"] = type;
    added = true;
  }
  if (isPositiveWhole(id)) {
    report["qivcmmid"] = id;
    added = true;
  }
  if (added) report["qivcmmdelay"] = Util::tryCatch(params, delayKey, "0");
}

}  // namespace

StringMap impressionReport(const Value& params) {
  StringMap report;
  report["di"] = Util::tryCatch(params, "di", "");
  report["at"] = Util::tryCatch(params, "at", "");
  report["zbid"] = Util::tryCatch(params, "zbid", "0");
  report["r"] = tracking::randomPercent();
  if (isBulkView(Util::tryCatch(params, "bvw", "0"))) report["qivcfrom"] = "bulkview";
  if (const std::string spid = Util::tryCatch(params, "spid", "0"); isPositiveWhole(spid)) {
    report["spid"] = spid;
  }
  const std::string cws = Util::tryCatch(params, "cws", "0");
  if (cws == "1") {
    report["a"] = "w";
    addCommunication(params, report, "iqivcmmtyp", "iqivcmmid", "iqvcmmdelay");
  } else if (cws == "0") {
    report["a"] = "v";
    addCommunication(params, report, "vqivcmmtyp", "vqivcmmid", "vqvcmmdelay");
  }
  return report;
}

}  // namespace tavrino::banner
