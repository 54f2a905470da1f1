#include "service/answers.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>

#include "service/builtin_images.hpp"

namespace tavrino::service {
namespace {

constexpr unsigned char kPixelPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0b, 0x49, 0x44, 0x41, 0x54, 0x78,
    0xda, 0x63, 0x60, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00, 0x01, 0xe9, 0xfa, 0xdc, 0xd8,
    0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

constexpr std::string_view kJson = "application/json";

std::string contentTypeFor(const std::filesystem::path& file) {
  const std::string extension = file.extension().string();
  if (extension == ".png") return "image/png";
  if (extension == ".jpg" || extension == ".jpeg") return "image/jpeg";
  if (extension == ".gif") return "image/gif";
  if (extension == ".webp") return "image/webp";
  if (extension == ".svg") return "image/svg+xml";
  return "application/octet-stream";
}

// Returns true iff name stays inside the image directory.
bool isSafeImageName(const std::filesystem::path& name) {
  if (name.empty() || name.is_absolute()) return false;
  for (const auto& part : name) {
    if (part == "..") return false;
  }
  return true;
}

void answerImage(const Scenario& scenario, std::string_view name, httplib::Response& response) {
  if (scenario.images.empty()) {
    if (const auto named = builtInImage(name)) {
      response.set_content(std::string(*named), contentTypeFor(std::filesystem::path(name)));
    } else {
      response.set_content(std::string(builtInImage()), "image/png");
    }
    return;
  }
  const std::filesystem::path relative(name);
  std::error_code error;
  // A link inside the folder may point anywhere: only where it leads counts.
  const auto file = isSafeImageName(relative)
                        ? resolvedInside(scenario.images / relative, scenario.images)
                        : std::nullopt;
  if (!file || !std::filesystem::is_regular_file(*file, error)) {
    response.status = 404;
    return;
  }
  std::ifstream in(*file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  response.set_content(bytes, contentTypeFor(*file));
}

std::string withBase(std::string text, const std::string& base) {
  constexpr std::string_view kPlaceholder = "{{base}}";
  for (auto at = text.find(kPlaceholder); at != std::string::npos;
       at = text.find(kPlaceholder, at + base.size())) {
    text.replace(at, kPlaceholder.size(), base);
  }
  return text;
}

bool endsWith(std::string_view path, std::string_view endpoint) {
  return path.size() > endpoint.size() && path.ends_with(endpoint) &&
         path[path.size() - endpoint.size() - 1] == '/';
}

}  // namespace

std::string_view builtInImage() {
  return {reinterpret_cast<const char*>(kPixelPng), sizeof kPixelPng};
}

std::optional<std::string_view> builtInImage(std::string_view name) {
  for (const auto& image : builtInImages()) {
    if (image.name == name) return image.bytes;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> resolvedInside(const std::filesystem::path& path,
                                                    const std::filesystem::path& folder) {
  std::error_code error;
  const auto base = std::filesystem::canonical(folder, error);
  if (error) return std::nullopt;
  auto resolved = std::filesystem::weakly_canonical(path, error);
  if (error) return std::nullopt;
  const auto [unmatched, at] =
      std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end());
  if (unmatched != base.end()) return std::nullopt;
  return resolved;
}

std::string dumpJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void answerEndpoint(const RecordedRequest& request, const Scenario& scenario,
                    const std::string& base, httplib::Response& response) {
  const std::string_view path = request.path;
  if (const auto image = path.find("/img/"); image != std::string_view::npos) {
    return answerImage(scenario, path.substr(image + 5), response);
  }
  if (endsWith(path, "d")) {
    response.set_content(withBase(dumpJson(scenario.pageAnswer(request.query)), base),
                         std::string(kJson));
  } else if (endsWith(path, "cmpdata")) {
    response.set_content(withBase(dumpJson(Json{{"settings", scenario.settings}}), base),
                         std::string(kJson));
  } else if (endsWith(path, "appinboxcat")) {
    response.set_content(dumpJson(scenario.categories), std::string(kJson));
  } else if (endsWith(path, "sproof") || path.ends_with("/sproof/")) {
    response.set_content(dumpJson(scenario.socialProofAnswer(request.query)), std::string(kJson));
  } else if (endsWith(path, "t") || endsWith(path, "u") || endsWith(path, "pn/gm.php") ||
             endsWith(path, "platform/sendnot.php") || endsWith(path, "jsonlog")) {
    response.set_content("{}", std::string(kJson));
  } else {
    response.status = 404;
  }
}

}  // namespace tavrino::service
