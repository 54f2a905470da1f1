// Cart items: one JSON object text per item, sent with the next page view.

#include <cmath>
#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tracking/tracking.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino {
namespace {

// Keeps the digits and the decimal character, then writes the decimal
// character as ".". An empty decimal character means ".".
std::string cleanNumber(std::string_view text, const std::string& decimalChar) {
  std::string cleaned;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || decimalChar.find(c) != std::string::npos) cleaned += c;
  }
  if (decimalChar == ".") return cleaned;
  std::string result;
  for (std::size_t i = 0; i < cleaned.size();) {
    if (cleaned.compare(i, decimalChar.size(), decimalChar) == 0) {
      result += '.';
      i += decimalChar.size();
    } else {
      result += cleaned[i++];
    }
  }
  return result;
}

// q rounded to two decimals, halves away from zero, written the way the
// service has always received it: "2.0", "1.25".
std::string roundedQuantity(double q) {
  const double scaled = std::round(q * 100);
  const double rounded = std::isfinite(scaled) ? scaled / 100 : q;
  std::string text = describe(Value(rounded == 0 ? 0.0 : rounded));
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

// A JSON string; text that is not UTF-8 has the bad bytes replaced.
std::string jsonString(std::string_view text) {
  return Value(std::string(text)).dump(-1, ' ', false, Value::error_handler_t::replace);
}

std::string itemText(std::string_view productId, const std::string& price,
                     const std::string& quantity, std::string_view category, std::string_view title,
                     const Value* extraparams) {
  std::string item = "{\"id\":" + jsonString(productId) + ",\"prc\":" + jsonString(price) +
                     ",\"qnt\":" + jsonString(quantity) + ",\"cat\":" + jsonString(category) +
                     ",\"ttl\":" + jsonString(title);
  if (extraparams && extraparams->is_object() && !extraparams->empty()) {
    try {
      item += ",\"ep\":" + extraparams->dump();
    } catch (const std::exception&) {
      platform::current().log().console("JSON convert error");
    }
  }
  return item + "}";
}

}  // namespace

void tracking::addCartItem(std::string_view productId, std::string_view quantity,
                           std::string_view price, std::string_view category,
                           std::string_view title, const Value* extraparams) {
  std::string decimalChar =
      processState().withConfig([](SharedConfiguration& c) { return c.decimalChar; });
  QivUtil::addLog("addItem called with --> productId : " + std::string(productId) +
                  " quantity : " + std::string(quantity) + " price : " + std::string(price) +
                  " category : " + std::string(category) + " title : " + std::string(title) +
                  " adetaildecimalchar : " + decimalChar);
  if (decimalChar.empty()) decimalChar = ".";

  std::string cleanedPrice = cleanNumber(price, decimalChar);
  if (!tracking::decimalNumber(cleanedPrice)) cleanedPrice = "0";
  std::string cleanedQuantity = cleanNumber(quantity, decimalChar);
  if (!tracking::decimalNumber(cleanedQuantity)) cleanedQuantity = std::string(quantity);
  const auto q = tracking::decimalNumber(cleanedQuantity);
  if (q) cleanedQuantity = roundedQuantity(*q);

  // A quantity of zero in any spelling ("0", "0.0") adds nothing.
  if (productId.empty() || cleanedQuantity.empty() || (q && std::round(*q * 100) == 0)) return;
  const std::string item =
      itemText(productId, cleanedPrice, cleanedQuantity, category, title, extraparams);
  QivUtil::addLog("add item. item string : " + item);
  processState().withConfig([&](SharedConfiguration& c) { c.pendingItems.push_back(item); });
}

}  // namespace tavrino
