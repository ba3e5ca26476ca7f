#!/usr/bin/env python3
"""Checks that every query of the Grafana dashboard and of the alert rules names
only metrics that the metrics file has, and that the dashboard has the panels an
operator is told about.

usage: check_queries.py METRICS_FILE DASHBOARD_JSON RULES_YAML [--may-lack NAME,...]
"""
import json
import re
import sys

import yaml

KEYWORDS = {"and", "or", "unless", "bool", "offset", "by", "without", "on", "ignoring",
            "group_left", "group_right", "inf", "nan"}
EXPECTED_PANELS = {"State", "Pipe and printer", "Conditions over time", "Tickets per minute",
                   "Not printed in range", "Job held"}


def metrics_in_file(path):
    """{metric name: set of label names} from the TYPE lines and the samples."""
    metrics = {}
    sample = re.compile(r"^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})?\s")
    for line in open(path, encoding="utf-8"):
        if line.startswith("# TYPE "):
            metrics.setdefault(line.split()[2], set())
        elif not line.startswith("#"):
            m = sample.match(line)
            if m:
                labels = set(re.findall(r'([a-zA-Z_][a-zA-Z0-9_]*)="', m.group(3) or ""))
                metrics.setdefault(m.group(1), set()).update(labels | {"instance", "job"})
    return metrics


def metric_names(expr):
    """The metric names a PromQL expression reads."""
    text = re.sub(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'', '""', expr)
    text = re.sub(r"\$\{\w+\}|\$\w+", "", text)
    text = re.sub(r"\{[^}]*\}", "", text)
    text = re.sub(r"\[[^\]]*\]", "", text)
    text = re.sub(r"\b(by|without|on|ignoring|group_left|group_right)\s*\([^)]*\)", "", text)
    names = set()
    for m in re.finditer(r"(?<![\w.])([a-zA-Z_:][a-zA-Z0-9_:]*)(\s*\()?", text):
        if m.group(2) is None and m.group(1) not in KEYWORDS:
            names.add(m.group(1))
    return names


def dashboard_queries(dashboard, problems):
    if dashboard.get("schemaVersion") != 39:
        problems.append("dashboard: schemaVersion is %r, not 39" % dashboard.get("schemaVersion"))
    panels = dashboard.get("panels", [])
    rows = [p for p in panels if p.get("type") == "row"]
    if not any(r.get("repeat") == "port" for r in rows):
        problems.append("dashboard: no row repeated for each port")
    titles = {p.get("title") for p in panels}
    for missing in sorted(EXPECTED_PANELS - titles):
        problems.append("dashboard: no panel " + missing)
    queries = []
    for panel in panels:
        for target in panel.get("targets", []):
            if not target.get("expr"):
                problems.append("dashboard: panel %s has a target without a query" % panel.get("title"))
            queries.append(("panel " + panel.get("title", "?"), target.get("expr", "")))
    for variable in dashboard.get("templating", {}).get("list", []):
        if variable.get("type") != "query":
            continue
        query = variable.get("query")
        query = query.get("query", "") if isinstance(query, dict) else query
        queries.append(("variable " + variable["name"], query))
    return queries


def main(argv):
    may_lack = set()
    if "--may-lack" in argv:
        at = argv.index("--may-lack")
        may_lack = set(argv[at + 1].split(","))
        del argv[at:at + 2]
    metrics_path, dashboard_path, rules_path = argv
    metrics = metrics_in_file(metrics_path)
    problems = []
    with open(dashboard_path, encoding="utf-8") as f:
        queries = dashboard_queries(json.load(f), problems)
    with open(rules_path, encoding="utf-8") as f:
        for group in yaml.safe_load(f)["groups"]:
            for rule in group["rules"]:
                queries.append(("rule " + rule.get("alert", rule.get("record", "?")), rule["expr"]))
    checked = 0
    for where, query in queries:
        label = None
        m = re.fullmatch(r"\s*label_values\((.*),\s*([a-zA-Z_]\w*)\s*\)\s*", query)
        if m:
            query, label = m.group(1), m.group(2)
        names = metric_names(query)
        if not names:
            problems.append("%s: reads no metric: %s" % (where, query))
        for name in sorted(names):
            checked += 1
            if name in metrics:
                if label is not None and label not in metrics[name]:
                    problems.append("%s: %s has no label %s in %s" % (where, name, label, metrics_path))
            elif name not in may_lack:
                problems.append("%s: %s is not in %s" % (where, name, metrics_path))
    for problem in problems:
        print(problem)
    print("%d queries, %d metric names checked, %d problems" % (len(queries), checked, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
