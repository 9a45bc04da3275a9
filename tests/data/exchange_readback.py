#!/usr/bin/env python3
"""Reads an export back with an independent reader and prints its records as JSON, one shape for
every format: title, authors ([family, given]), year, doi, note, keywords; CSV gives its columns by name.

  exchange_readback.py mods FILE      MODS XML as bibutils writes it (ris2xml, bib2xml)
  exchange_readback.py csv FILE       CSV, read with the csv module (RFC 4180 dialect)
  exchange_readback.py csl-json FILE  CSL-JSON, read with the json module
"""
import csv
import json
import sys
import xml.etree.ElementTree as ET

NS = {"m": "http://www.loc.gov/mods/v3"}


def text(element):
    return "" if element is None or element.text is None else element.text


def mods(path):
    records = []
    for m in ET.parse(path).getroot().findall("m:mods", NS):
        info = m.find("m:titleInfo", NS)
        title = text(info.find("m:title", NS)) if info is not None else ""
        sub = text(info.find("m:subTitle", NS)) if info is not None else ""
        if sub:
            title += ": " + sub
        authors = []
        for name in m.findall("m:name", NS):
            given = " ".join(text(p) for p in name.findall("m:namePart[@type='given']", NS))
            # A name of one part (no given name) comes back untyped.
            family = text(name.find("m:namePart[@type='family']", NS)) or text(name.find("m:namePart", NS))
            authors.append([family, given])
        year = text(m.find("m:originInfo/m:dateIssued", NS)) or text(m.find("m:part/m:date", NS))
        doi = text(m.find("m:identifier[@type='doi']", NS))
        records.append({"title": title, "authors": authors, "year": year, "doi": doi,
                        "note": text(m.find("m:note", NS)),
                        "notes": [text(n) for n in m.findall("m:note", NS)],
                        "keywords": [text(t) for t in m.findall("m:subject/m:topic", NS)]})
    return records


def person(text_):
    family, _, given = text_.partition(", ")
    return [family, given]


def csv_records(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f, strict=True))
    return [{"id": r["ID"], "title": r["Title"],
             "authors": [person(a) for a in r["Authors"].split("; ")] if r["Authors"] else [],
             "year": r["Year"], "doi": r["DOI"], "citedBy": r["CitedByPearlIDs"], "cites": r["CitesPearlIDs"],
             "lists": r["Lists"], "abstract": r["Abstract"], "keywords": r["Keywords"], "fields": len(r),
             "decision": r["Decision"], "reason": r["Reason"], "labels": r["Labels"], "note": r["Note"],
             "known": r["Known"], "generation": r["Generation"]}
            for r in rows]


def csl(path):
    with open(path, encoding="utf-8") as f:
        items = json.load(f)
    records = []
    for item in items:
        parts = item.get("issued", {}).get("date-parts", [[""]])
        records.append({"id": item["id"], "title": item.get("title", ""),
                        "authors": [[a.get("family", ""), a.get("given", "")] for a in item.get("author", [])],
                        "year": str(parts[0][0]), "doi": item.get("DOI", ""), "note": item.get("note", ""),
                        "keywords": item.get("keyword", "")})
    return records


readers = {"mods": mods, "csv": csv_records, "csl-json": csl}
json.dump(readers[sys.argv[1]](sys.argv[2]), sys.stdout, ensure_ascii=False)
