// qxlm-ctl ports: one line (or JSON object) per port with an open monitor pipe.
#include <algorithm>

#include "ctl_command_line.h"
#include "ctl_fleet.h"
#include "ctl_port_selection.h"
#include "ctl_port_view.h"
#include "ctl_text.h"
#include "json_writer.h"

namespace ctl {
namespace {

bool isActivity(const StateWord* word) {
  return word->name == std::string(kWordPrinting) || word->name == std::string(kWordUpdating);
}

struct Row {
  std::string port, printer, state, activity, conditions, reasons;
};

Row rowOf(const PortView& view) {
  const std::vector<const StateWord*> words = view.words();
  const IppState ipp = ippStateOf(words);
  Row row{view.name(), view.printer.empty() ? "-" : view.printer, printerStateName(ipp.state), "", "", ""};
  std::vector<const StateWord*> conditions;
  for (const StateWord* word : words) {
    if (isActivity(word)) {
      row.activity += (row.activity.empty() ? "" : " ") + std::string(word->name);
    } else {
      conditions.push_back(word);
    }
  }
  if (row.activity.empty()) row.activity = "-";
  row.conditions = conditions.empty() ? "-" : wordsText(conditions);
  for (const std::string& reason : ipp.reasons) row.reasons += (row.reasons.empty() ? "" : " ") + reason;
  return row;
}

void writePort(const PortView& view, tools::JsonWriter* json) {
  const std::vector<const StateWord*> words = view.words();
  json->beginObject().member("port", view.name()).member("printer", view.printer);
  json->member("answered", view.outcome == Outcome::Ok).member("printing", view.printing);
  json->member("updating", view.updating).member("progress", view.progress).member("conditions", wordNames(words));
  writeIppMembers(ippStateOf(words), json);
  if (view.hasStatus) {
    json->key("status").beginObject();
    writeStatusMembers(view.status, json);
    json->endObject();
  }
  json->endObject();
}

void printTable(const std::vector<Row>& rows, std::ostream& out) {
  std::vector<Row> all{Row{"PORT", "PRINTER", "STATE", "ACTIVITY", "CONDITIONS", "IPP REASONS"}};
  all.insert(all.end(), rows.begin(), rows.end());
  size_t widths[5] = {};
  for (const Row& r : all) {
    const std::string* cells[5] = {&r.port, &r.printer, &r.state, &r.activity, &r.conditions};
    for (int i = 0; i < 5; ++i) widths[i] = std::max(widths[i], cells[i]->size());
  }
  for (const Row& r : all) {
    const std::string* cells[5] = {&r.port, &r.printer, &r.state, &r.activity, &r.conditions};
    std::string line;
    for (int i = 0; i < 5; ++i) line += *cells[i] + std::string(widths[i] - cells[i]->size() + 2, ' ');
    out << line << r.reasons << "\n";
  }
}

}  // namespace

int runPorts(const FleetInvocation& inv, const Console& console) {
  const PortSelection selection(inv.ports);
  std::vector<std::string> ports;
  std::string error;
  const bool listed = selection.current(&ports, &error);
  std::vector<PortView> views;
  for (const std::string& port : ports) {
    PortView view = viewPort(port, PortQuestions());
    if (view.outcome != Outcome::NoSuchPort) views.push_back(view);
  }
  std::sort(views.begin(), views.end(),
            [](const PortView& a, const PortView& b) { return lessIgnoringCase(a.name(), b.name()); });
  if (inv.json) {
    tools::JsonWriter json;
    json.beginArray(",\n ");
    for (const PortView& view : views) writePort(view, &json);
    console.out << json.endArray().text() << "\n";
  } else if (views.empty()) {
    if (listed) console.out << "no port open\n";
  } else {
    std::vector<Row> rows;
    for (const PortView& view : views) rows.push_back(rowOf(view));
    printTable(rows, console.out);
  }
  if (!listed) {
    console.err << "qxlm-ctl: " << error << "\n";
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

}  // namespace ctl
