#!/usr/bin/env python3
"""Prints the ID3v2 tag of an MP3 file as an independent library reads it, as JSON:
the version, the tag's size (header included), every frame in file order and what
the library makes of the audio."""
import json
import sys

from mutagen.id3 import ID3, ID3NoHeaderError
from mutagen.mp3 import MP3


def frame_json(frame):
    out = {"id": frame.FrameID}
    if hasattr(frame, "encoding"):
        out["encoding"] = int(frame.encoding)
    if frame.FrameID == "APIC":
        out.update(mime=frame.mime, type=int(frame.type), desc=frame.desc, data=frame.data.hex())
    elif frame.FrameID in ("COMM", "USLT"):
        text = frame.text if isinstance(frame.text, str) else "\u0000".join(frame.text)
        out.update(lang=frame.lang, desc=frame.desc, text=text)
    elif hasattr(frame, "url"):
        out["url"] = frame.url
    elif hasattr(frame, "text"):
        out["text"] = "\u0000".join(str(t) for t in frame.text)
    else:
        out["data"] = bytes(frame._writeData()).hex() if hasattr(frame, "_writeData") else ""
    return out


def main(path):
    result = {"tag": None}
    try:
        tag = ID3(path, translate=False, load_v1=False)
        result["tag"] = {
            "version": list(tag.version),
            "size": tag.size,
            "frames": [frame_json(f) for f in tag.values()],
        }
    except ID3NoHeaderError:
        pass
    info = MP3(path).info
    result["audio"] = {"bitrate": info.bitrate, "sample_rate": info.sample_rate, "length": info.length}
    print(json.dumps(result))


if __name__ == "__main__":
    main(sys.argv[1])
