// docs/settings.md lists the monitor's own settings table: the same names in the same
// order, each a REG_DWORD with the same default.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "port/settings_table.h"

namespace {

std::string narrow(LPCWSTR wide) {
  std::string text;
  for (; *wide != 0; ++wide) text.push_back(static_cast<char>(*wide));
  return text;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

struct DocRow {
  std::string name, type, defaultText, range;
};

// "any", "0 or 1", or "low to high" with a unit after it; numbers decimal or 0x hex.
bool parseRange(const std::string& text, unsigned long* low, unsigned long* high) {
  if (text == "any") {
    *low = 0;
    *high = 0xFFFFFFFFul;
    return true;
  }
  std::istringstream in(text);
  std::string first, word, second;
  in >> first >> word >> second;
  if (word != "to" && word != "or") return false;
  *low = std::stoul(first, nullptr, 0);
  *high = std::stoul(second, nullptr, 0);
  return true;
}

// The rows of the settings table: lines "| `Name` | Type | Default | ...".
std::vector<DocRow> documentedSettings() {
  std::ifstream file(QXLM_DOCS_DIR "/settings.md");
  std::vector<DocRow> rows;
  std::string line;
  while (std::getline(file, line)) {
    if (line.compare(0, 3, "| `") != 0) continue;
    std::vector<std::string> cells;
    std::stringstream split(line.substr(1));
    std::string cell;
    while (std::getline(split, cell, '|')) cells.push_back(trimmed(cell));
    if (cells.size() < 6) continue;
    rows.push_back({cells[0].substr(1, cells[0].size() - 2), cells[1], cells[2], cells[3]});
  }
  return rows;
}

TEST(SettingsDoc, ListsEverySettingOfTheCodeWithItsTypeAndDefault) {
  const std::vector<DocRow> rows = documentedSettings();
  ASSERT_EQ(SETTING_COUNT, rows.size()) << "docs/settings.md has not the monitor's settings table";
  for (size_t i = 0; i < SETTING_COUNT; ++i) {
    const SettingEntry& entry = kSettingTable[i];
    EXPECT_EQ(narrow(entry.name), rows[i].name) << "row " << i + 1;
    EXPECT_EQ("REG_DWORD", rows[i].type) << rows[i].name;
    // The default's number comes first; a note may follow it.
    EXPECT_EQ(std::to_string(entry.defaultValue), rows[i].defaultText.substr(0, rows[i].defaultText.find(' ')))
        << rows[i].name;
    // The range documented is the one a pipe client may store.
    unsigned long low = 0, high = 0;
    ASSERT_TRUE(parseRange(rows[i].range, &low, &high)) << rows[i].name << ": " << rows[i].range;
    EXPECT_EQ(entry.lowest, low) << rows[i].name;
    EXPECT_EQ(entry.highest, high) << rows[i].name;
  }
}

}  // namespace
