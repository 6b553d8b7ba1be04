#!/usr/bin/env python3
"""Writes an ID3v2 tag with an independent library. Arguments: the MP3 file and a
JSON file {"version": 3 or 4, "encoding": 0-3, "frames": {ID: text or [urls]}}.
COMM and USLT take "description:text"; APIC takes {"mime","type","desc","data" (hex)}."""
import json
import sys

import mutagen.id3 as id3


def main(path, request_path):
    with open(request_path, encoding="utf-8") as f:
        request = json.load(f)
    enc = request["encoding"]
    tag = id3.ID3()
    for fid, value in request["frames"].items():
        cls = id3.Frames[fid]
        if fid in ("COMM", "USLT"):
            desc, _, text = value.partition(":")
            tag.add(cls(encoding=enc, lang="eng", desc=desc, text=text))
        elif fid == "APIC":
            tag.add(cls(encoding=enc, mime=value["mime"], type=value["type"], desc=value["desc"],
                        data=bytes.fromhex(value["data"])))
        elif fid.startswith("W"):
            for url in value if isinstance(value, list) else [value]:
                tag.add(cls(url=url))
        else:
            tag.add(cls(encoding=enc, text=value))
    tag.save(path, v2_version=request["version"], v1=0)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
