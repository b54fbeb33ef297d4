// tavo-lsp: the Tavo language server, over standard input and output.
#include <csignal>
#include <iostream>

#include "lsp.h"

int main() {
  std::signal(SIGPIPE, SIG_IGN);  // a client that went away ends the loop below
  std::ios::sync_with_stdio(false);
  tavolsp::Server server([](const tavolsp::json& m) {
    tavolsp::writeMessage(std::cout, m);
    if (!std::cout) std::exit(1);
  });
  std::string body;
  for (;;) {
    switch (tavolsp::readMessage(std::cin, body)) {
      case tavolsp::ReadStatus::END:
        return 1;  // no exit notification came
      case tavolsp::ReadStatus::BAD_FRAME:
        tavolsp::writeMessage(
            std::cout, {{"jsonrpc", "2.0"},
                        {"id", nullptr},
                        {"error", {{"code", tavolsp::PARSE_ERROR}, {"message", "bad header"}}}});
        break;
      case tavolsp::ReadStatus::MESSAGE:
        if (!server.receive(body)) return server.exitCode();
        break;
    }
  }
}
