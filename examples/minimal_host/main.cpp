// The smallest useful host: configure the SDK, pump the main loop for a
// moment, print what the SDK recorded.
//
//   tavrino_minimal_host [base-url] [company-id]

#include <chrono>
#include <cstdio>

#include <tavrino/tavrino.hpp>

int main(int argc, char** argv) {
  const char* baseUrl = argc > 1 ? argv[1] : "http://127.0.0.1:8080/";
  const char* companyId = argc > 2 ? argv[2] : "1";

  tavrino::Tavrino client(baseUrl, companyId, "0", "1");
  client.setApiKey("demo-key");
  client.setStepCallback([](const std::vector<std::string>& steps) {
    std::printf("step: %s\n", steps.back().c_str());
  });

  tavrino::platform::current().dispatch().runFor(std::chrono::seconds(2));

  std::printf("visitor id: \"%s\"\n", tavrino::Tavrino::getuid().c_str());
  for (const auto& step : client.getSteps()) std::printf("recorded: %s\n", step.c_str());
  return 0;
}
