// Plays a notification service extension: the platform starts one such
// process per incoming notification, hands it the notification and shows
// the content it returns. This one reads the payload (a JSON object) from a
// file or standard input, lets the SDK enrich it and prints the result.
//
//   tavrino_notification_extension --data-dir DIR --base-url URL --company ID
//       [--group APP_GROUP] [--image-key KEY] [--cdn ORIGIN] [PAYLOAD_FILE | -]
//
// Output, one line each: "title: ", "body: ", "category: ", "attachment: "
// (the image file's path, empty without one). Exit code 2 for bad usage or a
// payload that is not a JSON object.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include <tavrino/tavrino.hpp>

namespace {

using namespace tavrino;

struct Options {
  std::map<std::string, std::string> named;
  std::string payloadFile = "-";
};

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--")) {
      if (i + 1 >= argc) return false;
      options.named[arg.substr(2)] = argv[++i];
    } else {
      options.payloadFile = arg;
    }
  }
  return options.named.contains("data-dir") && options.named.contains("base-url") &&
         options.named.contains("company");
}

std::string readPayload(const std::string& file) {
  if (file == "-") {
    return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  }
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the platform puts into the content before the extension sees it.
platform::NotificationRequest requestOf(const Value& payload) {
  platform::NotificationRequest request;
  request.identifier = "remote";
  request.content.userInfo = payload;
  const auto aps = payload.find("aps");
  if (aps != payload.end() && aps->is_object()) {
    const auto alert = aps->find("alert");
    if (alert != aps->end() && alert->is_string()) request.content.body = *alert;
    if (alert != aps->end() && alert->is_object()) {
      request.content.title = alert->value("title", "");
      request.content.body = alert->value("body", "");
    }
  }
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s --data-dir DIR --base-url URL --company ID [--group APP_GROUP] "
                 "[--image-key KEY] [--cdn ORIGIN] [PAYLOAD_FILE | -]\n",
                 argv[0]);
    return 2;
  }
  const std::string text = readPayload(options.payloadFile);
  const Value payload = Util::parseJSONObject(Data(text.begin(), text.end()));
  if (payload.empty()) {
    std::fprintf(stderr, "the payload is not a JSON object with entries\n");
    return 2;
  }

  platform::install(platform::makeLinuxPlatform({.dataDirectory = options.named["data-dir"]}));
  {
    Tavrino client(options.named["base-url"], options.named["company"], "0");
    if (options.named.contains("cdn")) Tavrino::setContentDeliveryOrigin(options.named["cdn"]);
    std::atomic<bool> reported{false};
    client.setStepCallback([&](const std::vector<std::string>& steps) {
      if (steps.back() == "request finished. type is : pushview") reported = true;
    });

    const platform::NotificationRequest request = requestOf(payload);
    platform::MutableNotificationContent content = request.content;
    const std::string imageKey =
        options.named.contains("image-key") ? options.named["image-key"] : "m";
    const std::string group = options.named.contains("group") ? options.named["group"] : "notset";
    client.didReceiveNotificationExtension(content, request, imageKey, group);

    std::printf("title: %s\nbody: %s\ncategory: %s\nattachment: %s\n", content.title.c_str(),
                content.body.c_str(), content.categoryIdentifier.c_str(),
                content.attachments.empty() ? "" : content.attachments.front().url.c_str());
    std::fflush(stdout);

    // The SDK does not wait for the delivery report; the process must live
    // until it went out, as a real extension does until the platform ends it.
    const auto steps = client.getSteps();
    const bool sent =
        std::find(steps.begin(), steps.end(),
                  "did receive notification extension view request triggered") != steps.end();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sent && !reported && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    client.setStepCallback(nullptr);
  }
  platform::install(nullptr);
  return 0;
}
