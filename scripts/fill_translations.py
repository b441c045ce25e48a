#!/usr/bin/env python3
"""Fills unfinished entries of translations/orthaven_de.ts from a table of German texts.

Usage: scripts/fill_translations.py translations/orthaven_de.ts translations/de_texts.tsv
The table holds one "English<TAB>German" pair per line; "\\n" stands for a line break.
Entries without a German text are listed so nothing is forgotten.
"""
import sys
import xml.etree.ElementTree as ET

ts_path, table_path = sys.argv[1], sys.argv[2]
table = {}
with open(table_path, encoding="utf-8") as f:
    for line in f:
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        english, german = line.split("\t", 1)
        table[english.replace("\\n", "\n")] = german.replace("\\n", "\n")

tree = ET.parse(ts_path)
missing = []
for message in tree.iter("message"):
    source = message.find("source").text or ""
    translation = message.find("translation")
    if source in table:
        translation.text = table[source]
        translation.attrib.pop("type", None)
    elif translation.attrib.get("type") == "unfinished" or not translation.text:
        missing.append(source)

tree.write(ts_path, encoding="utf-8", xml_declaration=True)
for m in missing:
    print("no German text for:", repr(m))
sys.exit(1 if missing else 0)
