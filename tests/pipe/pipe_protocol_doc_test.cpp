// The example exchanges of docs/pipe-protocol.md, sent byte for byte to a port on the
// virtual printer: each must get exactly the response the document shows.
#include <cctype>
#include <fstream>
#include <sstream>

#include "pipe_test_support.h"

namespace {

struct Exchange {
  std::vector<BYTE> request;
  std::vector<BYTE> response;
  int line = 0;
};

// Fenced blocks marked "exchange": a line "> bytes" starts a request, "< bytes" its
// response, an indented line goes on with the bytes before it; ";" starts a note.
std::vector<Exchange> documentedExchanges() {
  std::ifstream file(QXLM_DOCS_DIR "/pipe-protocol.md");
  std::vector<Exchange> exchanges;
  std::vector<BYTE>* bytes = nullptr;
  bool inBlock = false;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.compare(0, 3, "```") == 0) {
      inBlock = line == "```exchange";
      bytes = nullptr;
      continue;
    }
    if (!inBlock || line.empty()) continue;
    if (line[0] == '>') {
      exchanges.push_back(Exchange());
      exchanges.back().line = number;
      bytes = &exchanges.back().request;
    } else if (line[0] == '<' && !exchanges.empty()) {
      bytes = &exchanges.back().response;
    } else if (line[0] != ' ' || bytes == nullptr) {
      ADD_FAILURE() << "pipe-protocol.md:" << number << ": not a line of an exchange";
      continue;
    }
    std::stringstream words(line.substr(line[0] == ' ' ? 0 : 1, line.find(';') - (line[0] == ' ' ? 0 : 1)));
    std::string word;
    while (words >> word) {
      if (word.size() != 2 || !isxdigit(static_cast<unsigned char>(word[0])) ||
          !isxdigit(static_cast<unsigned char>(word[1]))) {
        ADD_FAILURE() << "pipe-protocol.md:" << number << ": " << word << " is not a byte";
        continue;
      }
      bytes->push_back(static_cast<BYTE>(std::stoul(word, nullptr, 16)));
    }
  }
  return exchanges;
}

std::string hex(const std::vector<BYTE>& bytes) {
  std::string text;
  char byte[4];
  for (BYTE b : bytes) {
    snprintf(byte, sizeof byte, "%02X ", b);
    text += byte;
  }
  return text;
}

class PipeProtocolDoc : public PipePortTest {};

TEST_F(PipeProtocolDoc, EveryExampleExchangeGetsTheDocumentedResponse) {
  const std::vector<Exchange> exchanges = documentedExchanges();
  ASSERT_GE(exchanges.size(), 13u);
  // The document's port and printer, on a printer that hears only what is asked.
  ASSERT_NE(nullptr, open("USB004", "Ticket Printer"));
  ctl::PipeClient client;
  ASSERT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, "USB004"));
  for (const Exchange& exchange : exchanges) {
    std::vector<BYTE> response;
    ASSERT_EQ(ctl::Outcome::Ok, client.exchange(exchange.request, 30000, &response))
        << "pipe-protocol.md:" << exchange.line;
    EXPECT_EQ(hex(exchange.response), hex(response)) << "pipe-protocol.md:" << exchange.line;
  }
}

}  // namespace
